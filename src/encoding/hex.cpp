#include "encoding/hex.hpp"

#include <array>
#include <cstddef>

namespace corvane::encoding {
namespace {

constexpr char kDigits[] = "0123456789abcdef";
constexpr std::uint8_t kNotADigit = 0xFF;

constexpr std::array<std::uint8_t, 256> make_digit_values() {
  std::array<std::uint8_t, 256> values{};
  values.fill(kNotADigit);
  for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 6; ++i) {
    values['a' + i] = static_cast<std::uint8_t>(10 + i);
    values['A' + i] = static_cast<std::uint8_t>(10 + i);
  }
  return values;
}

constexpr std::array<std::uint8_t, 256> kDigitValues = make_digit_values();

// Characters of U+0000..U+00FF that a character literal shows as an escape.
bool is_printable(std::uint8_t c) {
  return !(c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD);
}

// The byte taken as the code point U+0000..U+00FF, written as a character
// literal in single quotes, in UTF-8.
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

Failure<std::string> invalid_character(std::string_view text, std::size_t position) {
  return fail("Invalid character " + character_literal(static_cast<std::uint8_t>(text[position])) +
              " at position " + std::to_string(position));
}

}  // namespace

Expected<ByteVector> decode_hex(std::string_view text) {
  if (text.size() % 2 != 0) return fail(std::string("Odd number of digits"));
  ByteVector bytes(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::uint8_t high = kDigitValues[static_cast<std::uint8_t>(text[i])];
    if (high == kNotADigit) return invalid_character(text, i);
    const std::uint8_t low = kDigitValues[static_cast<std::uint8_t>(text[i + 1])];
    if (low == kNotADigit) return invalid_character(text, i + 1);
    bytes[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

void append_hex(std::span<const std::uint8_t> bytes, std::string& out) {
  std::size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  for (const std::uint8_t b : bytes) {
    out[at++] = kDigits[b >> 4];
    out[at++] = kDigits[b & 0x0F];
  }
}

std::string encode_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_hex(bytes, out);
  return out;
}

}  // namespace corvane::encoding
