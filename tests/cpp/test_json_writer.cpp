// Compact JSON writer: number forms, string escapes, and the piecewise output
// that digests use.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/float_digits.hpp"
#include "encoding/json_writer.hpp"

using namespace std::literals;
using corvane::encoding::JsonValue;
using corvane::encoding::to_json;

namespace {

void writes_numbers() {
  const struct {
    double value;
    std::string_view expected;
  } cases[] = {
      {-0.0, "-0.0"}, {100.0, "100.0"}, {-123.45, "-123.45"}, {0.1, "0.1"}, {1.5e-7, "1.5e-7"},
      // Fixed notation from 1e-5 up to below 1e16.
      {1e-5, "0.00001"}, {1.25e-5, "0.0000125"}, {9.999999999999999e-6, "9.999999999999999e-6"}, {1e-6, "1e-6"},
      {1e15, "1000000000000000.0"}, {1234567890123456.7, "1234567890123456.8"}, {9999999999999998.0, "9999999999999998.0"},
      {1e16, "1e+16"}, {12345678901234567890.0, "1.2345678901234567e+19"}, {1e100, "1e+100"},
      {-2.2250738585072014e-308, "-2.2250738585072014e-308"}, {5e-324, "5e-324"},
      {70460562.78549565, "70460562.78549565"},  // of two shortest spellings that read back, the closer
      {std::numeric_limits<double>::infinity(), "null"}, {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& c : cases) CHECK_EQ(to_json(JsonValue(c.value)), std::string(c.expected));
  std::string out = "[";
  corvane::encoding::append_json(JsonValue(std::numeric_limits<std::int64_t>::min()), out);
  CHECK_EQ(out + to_json(JsonValue(std::numeric_limits<std::uint64_t>::max())), "[-922337203685477580818446744073709551615");
}

// The shortest digits, found and written, must be those of std::to_chars, an
// independent implementation: at the edges of every binade, for subnormals,
// integers, powers of ten and their neighbours, exact ties, and random values.
void finds_the_digits_std_to_chars_finds() {
  long mismatches = 0;
  const auto agrees = [&](double value) {
    if (!std::isfinite(value) || value == 0) return;
    value = std::fabs(value);
    char text[64];
    *std::to_chars(text, text + sizeof text - 1, value, std::chars_format::scientific).ptr = '\0';
    std::uint64_t digits = 0;
    int count = 0;
    const char* p = text;
    for (; *p != 'e'; ++p) {
      if (*p != '.') digits = digits * 10 + static_cast<std::uint64_t>(*p - '0'), ++count;
    }
    const corvane::encoding::FloatDigits ours = corvane::encoding::shortest_float_digits(value);
    // The written text, by whichever of the writer's ways, holds the same digits and reads back.
    const std::string written = to_json(JsonValue(value));
    std::string written_digits;
    for (const char c : written.substr(0, written.find('e'))) {
      if (c != '.' && (c != '0' || !written_digits.empty())) written_digits += c;
    }
    std::string expected_digits = std::to_string(digits);
    while (written_digits.size() > expected_digits.size() && written_digits.back() == '0') written_digits.pop_back();
    if ((ours.digits != digits || ours.exponent != std::atoi(p + 1) - (count - 1) || written_digits != expected_digits ||
         std::strtod(written.c_str(), nullptr) != value) && ++mismatches <= 5) {
      std::fprintf(stderr, "  digits differ from std::to_chars for %a (%s, written %s)\n", value, text, written.c_str());
    }
  };
  const auto from_bits = [](std::uint64_t bits) { return std::bit_cast<double>(bits); };
  constexpr std::uint64_t kMantissa = (std::uint64_t{1} << 52) - 1;
  for (std::uint64_t exponent = 0; exponent < 2047; ++exponent) {
    for (const std::uint64_t mantissa : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3},
                                         kMantissa, kMantissa - 1, kMantissa / 2, kMantissa / 2 + 1}) {
      agrees(from_bits(exponent << 52 | mantissa));
    }
  }
  for (std::uint64_t n = 1; n < 100000; ++n) agrees(from_bits(n)), agrees(static_cast<double>(n));
  for (int k = -323; k <= 308; ++k) {
    const auto bits = std::bit_cast<std::uint64_t>(std::strtod(("1e" + std::to_string(k)).c_str(), nullptr));
    for (std::uint64_t delta = 0; delta < 50; ++delta) agrees(from_bits(bits + delta)), agrees(from_bits(bits - delta));
  }
  for (int k = 0; k < 64; ++k) {
    for (std::uint64_t n = 1; n < 2000; ++n) agrees(std::ldexp(static_cast<double>(2 * n + 1), -k));  // exact decimals
  }
  std::uint64_t state = 0x243F6A8885A308D3;  // SplitMix64
  for (int i = 0; i < 1000000; ++i) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    agrees(from_bits(z ^ (z >> 31)));
  }
  CHECK_EQ(mismatches, 0L);
}

void escapes_strings() {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"", "\"\""},
      {"a\"b\\", "\"a\\\"b\\\\\""},
      {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
      {"\0\x01\x0b\x0e\x1f"sv, "\"\\u0000\\u0001\\u000b\\u000e\\u001f\""},
      // Everything else is copied: the solidus, DEL, C1 controls, line separators.
      {"/\x7f\xC2\x85\xE2\x80\xA8\xC3\xA9\xF0\x9F\x98\x80", "\"/\x7f\xC2\x85\xE2\x80\xA8\xC3\xA9\xF0\x9F\x98\x80\""},
  };
  for (const auto& c : cases) {
    std::string out = "prefix:";
    corvane::encoding::append_json_string(c.text, out);
    CHECK_EQ(out, "prefix:" + std::string(c.expected));
  }
}

}  // namespace

int main() {
  writes_numbers();
  finds_the_digits_std_to_chars_finds();
  escapes_strings();
  return check::failures() != 0;
}
