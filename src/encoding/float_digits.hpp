// The shortest decimal digits that read back to a double.
#pragma once

#include <cstdint>

namespace corvane::encoding {

// value = digits * 10^exponent.
struct FloatDigits {
  std::uint64_t digits;
  int exponent;
};

// For a finite value above zero: of the decimals that read back to `value`
// (rounding to nearest, ties to even), one with the fewest digits, and of
// those the one nearest to `value` (ties to an even last digit). These are the
// digits std::to_chars gives, found by the Ryu method (Adams, PLDI 2018) at a
// fraction of its cost.
FloatDigits shortest_float_digits(double value);

}  // namespace corvane::encoding
