#include "encoding/character_literal.hpp"

namespace corvane::encoding {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

// Characters of U+0000..U+00FF that a character literal shows as an escape.
bool is_printable(std::uint8_t c) {
  return !(c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD);
}

}  // namespace

std::string character_literal(std::uint8_t c) {
  std::string out = "'";
  switch (c) {
    case '\'': out += "\\'"; break;
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\r': out += "\\r"; break;
    case '\n': out += "\\n"; break;
    case '\0': out += "\\0"; break;
    default:
      if (!is_printable(c)) {
        out += "\\u{";
        if (c >= 0x10) out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
        out += '}';
      } else if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
  }
  out += '\'';
  return out;
}

}  // namespace corvane::encoding
