// Trimming Unicode white space: the look-alikes and malformed UTF-8 that the
// Python properties (which draw from the White_Space set) cannot reach.
#include "encoding/trim.hpp"

#include <string>
#include <string_view>

#include "check.hpp"

int main() {
  const struct {
    std::string_view input, expected;
  } cases[] = {
      {"  \t\n\r\v\f", ""}, {" a b ", "a b"}, {"\xe3\x80\x80", ""},
      {"\xe1\x9a\x80x\xe2\x80\x8a\xe2\x80\xaf\xe2\x81\x9f", "x"},  // U+1680, U+200A, U+202F, U+205F
      {"\xe2\x80\x8bx\xef\xbb\xbf", "\xe2\x80\x8bx\xef\xbb\xbf"},  // U+200B and the byte-order mark are not
      {"x\xc3\xa9", "x\xc3\xa9"},  // a trailing non-space two-byte character
      // Bytes that are not well-formed UTF-8 are never white space: not a lead
      // byte before a non-continuation byte, not an overlong space.
      {"\xc2\xe0\x80\xa0", "\xc2\xe0\x80\xa0"}, {"\xe0\x80\xa0x\xc0\xa0", "\xe0\x80\xa0x\xc0\xa0"},
      {"\xa0\xa0", "\xa0\xa0"}, {"\xc2 ", "\xc2"},
  };
  for (const auto& c : cases) {
    CHECK_EQ(std::string(corvane::encoding::trim_white_space(c.input)), std::string(c.expected));
  }
  return check::failures() != 0;
}
