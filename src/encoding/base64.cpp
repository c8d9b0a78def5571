#include "encoding/base64.hpp"

#include <cstddef>

namespace corvane::encoding {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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

}  // namespace corvane::encoding
