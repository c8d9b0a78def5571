#include "encoding/trim.hpp"

#include <cstddef>
#include <cstdint>

namespace corvane::encoding {
namespace {

std::uint8_t byte_at(std::string_view s, std::size_t pos) { return static_cast<std::uint8_t>(s[pos]); }

// Length in bytes of the White_Space character whose UTF-8 form starts at
// `pos`, or 0. The non-ASCII ones are matched by their exact byte sequences,
// so bytes that are not well-formed UTF-8 are never taken for white space.
std::size_t white_space_at(std::string_view s, std::size_t pos) {
  const std::uint8_t b0 = byte_at(s, pos);
  const std::size_t left = s.size() - pos;
  if (b0 < 0x80) return (b0 >= 0x09 && b0 <= 0x0D) || b0 == 0x20 ? 1 : 0;
  if (left < 2) return 0;
  const std::uint8_t b1 = byte_at(s, pos + 1);
  if (b0 == 0xC2) return b1 == 0x85 || b1 == 0xA0 ? 2 : 0;  // U+0085, U+00A0
  if (left < 3) return 0;
  const std::uint8_t b2 = byte_at(s, pos + 2);
  switch (b0) {
    case 0xE1:  // U+1680
      return b1 == 0x9A && b2 == 0x80 ? 3 : 0;
    case 0xE2:  // U+2000..U+200A, U+2028, U+2029, U+202F; U+205F
      if (b1 == 0x80) return (b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF ? 3 : 0;
      return b1 == 0x81 && b2 == 0x9F ? 3 : 0;
    case 0xE3:  // U+3000
      return b1 == 0x80 && b2 == 0x80 ? 3 : 0;
    default:
      return 0;
  }
}

// Length in bytes of the White_Space character that ends just before `end`,
// not reaching before `begin`, or 0.
std::size_t white_space_before(std::string_view s, std::size_t begin, std::size_t end) {
  for (std::size_t length = 1; length <= 3 && length <= end - begin; ++length) {
    if (white_space_at(s, end - length) == length) return length;
  }
  return 0;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t length = white_space_at(text, begin);
    if (length == 0) break;
    begin += length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t length = white_space_before(text, begin, end);
    if (length == 0) break;
    end -= length;
  }
  return text.substr(begin, end - begin);
}

}  // namespace corvane::encoding
