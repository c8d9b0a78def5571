// The decoding table of a text form whose digits are single bytes (hex,
// base64): each byte's digit value, or kNotADigit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::encoding {

inline constexpr std::uint8_t kNotADigit = 0xFF;

// Digit i of each alphabet has the value i, so that "0123456789abcdef" and
// "0123456789ABCDEF" together read hex in either case.
constexpr std::array<std::uint8_t, 256> digit_values(std::string_view alphabet, std::string_view alias = {}) {
  std::array<std::uint8_t, 256> values{};
  values.fill(kNotADigit);
  for (const std::string_view digits : {alphabet, alias}) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
      values[static_cast<unsigned char>(digits[i])] = static_cast<std::uint8_t>(i);
    }
  }
  return values;
}

}  // namespace corvane::encoding
