#include "encoding/hex.hpp"

#include <array>
#include <cstddef>

#include "encoding/character_literal.hpp"
#include "encoding/digit_values.hpp"

namespace corvane::encoding {
namespace {

constexpr char kDigits[] = "0123456789abcdef";
constexpr std::array<std::uint8_t, 256> kDigitValues = digit_values(kDigits, "0123456789ABCDEF");

Failure<std::string> invalid_character(std::string_view text, std::size_t position) {
  return fail("Invalid character " + character_literal(static_cast<std::uint8_t>(text[position])) +
              " at position " + std::to_string(position));
}

// The digits of `text`, an even number of them, into `out`.
Expected<Ok> decode_digits(std::string_view text, std::uint8_t* out) {
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::uint8_t high = kDigitValues[static_cast<std::uint8_t>(text[i])];
    if (high == kNotADigit) return invalid_character(text, i);
    const std::uint8_t low = kDigitValues[static_cast<std::uint8_t>(text[i + 1])];
    if (low == kNotADigit) return invalid_character(text, i + 1);
    out[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return Ok{};
}

Failure<std::string> odd_number_of_digits() { return fail(std::string("Odd number of digits")); }

}  // namespace

Expected<ByteVector> decode_hex(std::string_view text) {
  if (text.size() % 2 != 0) return odd_number_of_digits();
  ByteVector bytes(text.size() / 2);
  if (auto decoded = decode_digits(text, bytes.data()); !decoded) return fail(std::move(decoded).error());
  return bytes;
}

Expected<bool> decode_hex_exact(std::string_view text, std::span<std::uint8_t> out) {
  if (text.size() % 2 != 0) return odd_number_of_digits();
  if (text.size() / 2 != out.size()) {
    // A bad digit is reported before a wrong count.
    if (auto bytes = decode_hex(text); !bytes) return fail(std::move(bytes).error());
    return false;
  }
  if (auto decoded = decode_digits(text, out.data()); !decoded) return fail(std::move(decoded).error());
  return true;
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
