#include "encoding/base64.hpp"

#include <array>
#include <cstddef>

#include "encoding/character_literal.hpp"
#include "encoding/digit_values.hpp"

namespace corvane::encoding {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::array<std::uint8_t, 256> kValues = digit_values(kAlphabet);

std::string located(std::string_view what, std::string_view text, std::size_t position, std::string_view after) {
  return std::string(what) + character_literal(static_cast<std::uint8_t>(text[position])) + " at position " +
         std::to_string(position) + std::string(after);
}

}  // namespace

void append_base64(std::span<const std::uint8_t> bytes, std::string& out) {
  std::size_t at = out.size();
  out.resize(at + (bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
    out[at++] = kAlphabet[group >> 18];
    out[at++] = kAlphabet[group >> 12 & 0x3F];
    out[at++] = kAlphabet[group >> 6 & 0x3F];
    out[at++] = kAlphabet[group & 0x3F];
  }
  const std::size_t left = bytes.size() - i;
  if (left == 0) return;
  const std::uint32_t group = std::uint32_t{bytes[i]} << 16 | (left == 2 ? std::uint32_t{bytes[i + 1]} << 8 : 0);
  out[at++] = kAlphabet[group >> 18];
  out[at++] = kAlphabet[group >> 12 & 0x3F];
  out[at++] = left == 2 ? kAlphabet[group >> 6 & 0x3F] : '=';
  out[at++] = '=';
}

std::string encode_base64(std::span<const std::uint8_t> bytes) {
  std::string out;
  append_base64(bytes, out);
  return out;
}

Expected<ByteVector> decode_base64(std::string_view text) {
  if (text.size() % 4 != 0) {
    return fail(Error("Invalid length " + std::to_string(text.size()) + ": not a multiple of 4"));
  }
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  const std::size_t symbols = text.size() - padding;
  ByteVector bytes;
  bytes.reserve(symbols * 3 / 4);
  std::uint32_t bits = 0;  // the `pending` low bits not yet in a byte
  int pending = 0;
  for (std::size_t i = 0; i < symbols; ++i) {
    const std::uint8_t value = kValues[static_cast<unsigned char>(text[i])];
    if (value == kNotADigit) return fail(Error(located("Invalid character ", text, i, "")));
    bits = bits << 6 | value;
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      bytes.push_back(static_cast<std::uint8_t>(bits >> pending));
      bits &= (1u << pending) - 1;
    }
  }
  if (bits != 0) return fail(Error(located("Unused bits of ", text, symbols - 1, " are not zero")));
  return bytes;
}

}  // namespace corvane::encoding
