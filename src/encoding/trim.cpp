#include "encoding/trim.hpp"

#include <cstddef>
#include <cstdint>

namespace corvane::encoding {
namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// Length in bytes of the white-space character that starts at `pos`, or 0.
// Every White_Space character is at most three UTF-8 bytes long.
std::size_t white_space_at(std::string_view s, std::size_t pos) {
  const auto b0 = static_cast<std::uint8_t>(s[pos]);
  if (b0 < 0x80) return is_white_space(b0) ? 1 : 0;
  const std::size_t left = s.size() - pos;
  if ((b0 & 0xE0) == 0xC0 && left >= 2) {
    const char32_t c = (char32_t(b0 & 0x1F) << 6) | (static_cast<std::uint8_t>(s[pos + 1]) & 0x3F);
    return is_white_space(c) ? 2 : 0;
  }
  if ((b0 & 0xF0) == 0xE0 && left >= 3) {
    const char32_t c = (char32_t(b0 & 0x0F) << 12) |
                       (char32_t(static_cast<std::uint8_t>(s[pos + 1]) & 0x3F) << 6) |
                       (static_cast<std::uint8_t>(s[pos + 2]) & 0x3F);
    return is_white_space(c) ? 3 : 0;
  }
  return 0;
}

// Length in bytes of the white-space character that ends just before `end`, or 0.
std::size_t white_space_before(std::string_view s, std::size_t end) {
  // Step back over continuation bytes to the lead byte (at most two of them).
  std::size_t start = end - 1;
  while (start > 0 && end - start < 3 && (static_cast<std::uint8_t>(s[start]) & 0xC0) == 0x80) --start;
  const std::size_t len = white_space_at(s, start);
  return start + len == end ? len : 0;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t len = white_space_at(text, begin);
    if (len == 0) break;
    begin += len;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t len = white_space_before(text, end);
    if (len == 0) break;
    end -= len;
  }
  return text.substr(begin, end - begin);
}

}  // namespace corvane::encoding
