#include "encoding/trim.hpp"

#include <string>
#include <string_view>

#include "check.hpp"

using corvane::encoding::trim_white_space;

int main() {
  struct Case {
    std::string_view input;
    std::string_view expected;
  };
  const Case cases[] = {
      {"", ""},
      {"  \t\n\r\v\f", ""},
      {" a b ", "a b"},
      {"\xc2\xa0x\xe3\x80\x80", "x"},                 // U+00A0 and U+3000
      {"\xc2\x85x\xe2\x80\xa8\xe2\x80\xa9", "x"},     // U+0085, U+2028, U+2029
      {"\xe1\x9a\x80x\xe2\x80\x8a\xe2\x80\xaf\xe2\x81\x9f", "x"},  // U+1680, U+200A, U+202F, U+205F
      {"\xe2\x80\x8bx", "\xe2\x80\x8bx"},             // U+200B is not White_Space
      {"\xef\xbb\xbfx", "\xef\xbb\xbfx"},             // nor is the byte-order mark
      {"x\xc3\xa9", "x\xc3\xa9"},                     // a trailing non-space two-byte character
      {"\xe3\x80\x80", ""},
      // Bytes that are not well-formed UTF-8 are never white space: not a
      // lead byte before a non-continuation byte, not an overlong space.
      {"\xc2\xe0\x80\xa0", "\xc2\xe0\x80\xa0"},
      {"\xe0\x80\xa0x\xc0\xa0", "\xe0\x80\xa0x\xc0\xa0"},
      {"\xa0\xa0", "\xa0\xa0"},
      {"\xc2 ", "\xc2"},
  };
  for (const auto& c : cases) CHECK_EQ(std::string(trim_white_space(c.input)), std::string(c.expected));
  return check::failures() != 0;
}
