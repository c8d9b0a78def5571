#include "encoding/float_digits.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace corvane::encoding {
namespace {

using Uint128 = unsigned __int128;  // GCC and Clang

constexpr int kMantissaBits = 52;
constexpr int kExponentBias = 1023;
// value = m2 * 2^e2 with the interval arithmetic below done on 4 * m2, so e2
// carries an extra -2.
constexpr int kSmallestE2 = 1 - kExponentBias - kMantissaBits - 2;     // subnormals
constexpr int kLargestE2 = 2046 - kExponentBias - kMantissaBits - 2;  // the largest finite exponent

// The powers of five are kept to this many leading bits: enough that the
// products below are exact where they are used (the Ryu paper's bound).
constexpr int kPowerBits = 125;

// Bits of 5^e (1 for e = 0), for 0 <= e <= 3528.
constexpr int pow5_bits(int e) { return static_cast<int>((static_cast<std::uint32_t>(e) * 1217359) >> 19) + 1; }
// floor(log10(2^e)) for 0 <= e <= 1650.
constexpr int log10_pow2(int e) { return static_cast<int>((static_cast<std::uint32_t>(e) * 78913) >> 18); }
// floor(log10(5^e)) for 0 <= e <= 2620.
constexpr int log10_pow5(int e) { return static_cast<int>((static_cast<std::uint32_t>(e) * 732923) >> 20); }

// The decimal exponent q that each binary exponent is scaled by (below).
constexpr int q_for_non_negative(int e2) { return log10_pow2(e2) - (e2 > 3 ? 1 : 0); }
constexpr int q_for_negative(int e2) { return log10_pow5(-e2) - (-e2 > 1 ? 1 : 0); }

// An unsigned integer of 1216 bits, for working out the tables exactly at
// compile time.
struct BigInteger {
  static constexpr int kLimbs = 38;
  std::array<std::uint32_t, kLimbs> limbs{};  // least significant first

  constexpr void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto& limb : limbs) {
      carry += std::uint64_t{limb} * factor;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
  }
  constexpr void divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      remainder = remainder << 32 | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(remainder / divisor);
      remainder %= divisor;
    }
  }
  constexpr int bit_length() const {
    for (int i = kLimbs - 1; i >= 0; --i) {
      if (limbs[i] != 0) return 32 * i + std::bit_width(limbs[i]);
    }
    return 0;
  }
  // floor(this / 2^shift) for shift >= 0, which must fit in 128 bits: the
  // four limbs from bit `shift` on, and the low bits of the fifth.
  constexpr Uint128 shifted_right(int shift) const {
    const int first = shift / 32;
    const int offset = shift % 32;
    const auto limb = [&](int i) { return i < kLimbs ? Uint128{limbs[i]} : Uint128{0}; };
    Uint128 result = 0;
    for (int i = first + 3; i >= first; --i) result = result << 32 | limb(i);
    result >>= offset;
    if (offset != 0) result |= limb(first + 4) << (128 - offset);
    return result;
  }
};

constexpr int kPowerCount = [] {
  int largest = 0;
  for (int e2 = kSmallestE2; e2 < 0; ++e2) largest = std::max(largest, -e2 - q_for_negative(e2));
  return largest + 1;
}();
constexpr int kInversePowerCount = q_for_non_negative(kLargestE2) + 1;

// 5^i to kPowerBits leading bits: floor(5^i * 2^(kPowerBits - pow5_bits(i))).
constexpr auto kPowersOfFive = [] {
  std::array<Uint128, kPowerCount> table{};
  BigInteger power;
  power.limbs[0] = 1;
  for (int i = 0; i < kPowerCount; ++i) {
    if (power.bit_length() != pow5_bits(i)) throw "pow5_bits disagrees with 5^i";  // stops the build
    const int shift = pow5_bits(i) - kPowerBits;
    table[i] = shift >= 0 ? power.shifted_right(shift) : power.shifted_right(0) << -shift;
    power.multiply(5);
  }
  return table;
}();

// floor(2^(pow5_bits(q) - 1 + kPowerBits) / 5^q) + 1.
constexpr auto kInversePowersOfFive = [] {
  std::array<Uint128, kInversePowerCount> table{};
  constexpr int kNumeratorBits = 1100;  // above every exponent needed
  BigInteger quotient;                    // floor(2^kNumeratorBits / 5^q)
  quotient.limbs[kNumeratorBits / 32] = std::uint32_t{1} << (kNumeratorBits % 32);
  for (int q = 0; q < kInversePowerCount; ++q) {
    table[q] = quotient.shifted_right(kNumeratorBits - (pow5_bits(q) - 1 + kPowerBits)) + 1;
    quotient.divide(5);
  }
  return table;
}();

// floor(m * factor / 2^shift), for the 125-bit factors above; the products
// are at most 55 + 125 bits, the result fits 64.
std::uint64_t multiply_shift(std::uint64_t m, Uint128 factor, int shift) {
  const Uint128 low = Uint128{m} * static_cast<std::uint64_t>(factor);
  const Uint128 high = Uint128{m} * static_cast<std::uint64_t>(factor >> 64);
  return static_cast<std::uint64_t>(((low >> 64) + high) >> (shift - 64));
}

int factors_of_five(std::uint64_t value) {
  int count = 0;
  while (value % 5 == 0) {
    value /= 5;
    ++count;
  }
  return count;
}
bool multiple_of_power_of_5(std::uint64_t value, int p) { return factors_of_five(value) >= p; }
bool multiple_of_power_of_2(std::uint64_t value, int p) { return (value & ((std::uint64_t{1} << p) - 1)) == 0; }

}  // namespace

FloatDigits shortest_float_digits(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t mantissa = bits & ((std::uint64_t{1} << kMantissaBits) - 1);
  const int biased_exponent = static_cast<int>(bits >> kMantissaBits) & 0x7FF;

  // value = m2 * 2^(e2 + 2); the values that read back to it lie strictly
  // between (mv - 1 - mm_shift) * 2^e2 and (mv + 2) * 2^e2 (mm_shift says
  // whether the gap below is as wide as the one above), bounds included when
  // m2 is even, as rounding ties go to even.
  int e2;
  std::uint64_t m2;
  if (biased_exponent == 0) {
    e2 = kSmallestE2;
    m2 = mantissa;
  } else {
    e2 = biased_exponent - kExponentBias - kMantissaBits - 2;
    m2 = std::uint64_t{1} << kMantissaBits | mantissa;
  }
  const bool accept_bounds = (m2 & 1) == 0;
  const std::uint64_t mv = 4 * m2;
  const std::uint64_t mm_shift = mantissa != 0 || biased_exponent <= 1 ? 1 : 0;

  // vr, vp and vm: the value and the two bounds, times 2^e2 / 10^e10, rounded
  // down; and whether the digits dropped by that rounding were all zeros.
  std::uint64_t vr, vp, vm;
  int e10;
  bool vm_trailing_zeros = false;
  bool vr_trailing_zeros = false;
  if (e2 >= 0) {
    const int q = q_for_non_negative(e2);
    e10 = q;
    const int k = kPowerBits + pow5_bits(q) - 1;
    const int shift = -e2 + q + k;
    const Uint128 factor = kInversePowersOfFive[q];
    vr = multiply_shift(mv, factor, shift);
    vp = multiply_shift(mv + 2, factor, shift);
    vm = multiply_shift(mv - 1 - mm_shift, factor, shift);
    if (q <= 21) {
      // Only one of mv, mv + 2 and mv - 1 - mm_shift can be a multiple of 5.
      if (mv % 5 == 0) {
        vr_trailing_zeros = multiple_of_power_of_5(mv, q);
      } else if (accept_bounds) {
        vm_trailing_zeros = multiple_of_power_of_5(mv - 1 - mm_shift, q);
      } else {
        vp -= multiple_of_power_of_5(mv + 2, q) ? 1 : 0;
      }
    }
  } else {
    const int q = q_for_negative(e2);
    e10 = q + e2;
    const int i = -e2 - q;
    const int k = pow5_bits(i) - kPowerBits;
    const int shift = q - k;
    const Uint128 factor = kPowersOfFive[i];
    vr = multiply_shift(mv, factor, shift);
    vp = multiply_shift(mv + 2, factor, shift);
    vm = multiply_shift(mv - 1 - mm_shift, factor, shift);
    if (q <= 1) {
      // mv has at least q trailing zero bits, being a multiple of 4.
      vr_trailing_zeros = true;
      if (accept_bounds) {
        vm_trailing_zeros = mm_shift == 1;  // mm = mv - 2: also a multiple of 2
      } else {
        --vp;  // mp = mv + 2: the bound itself is excluded
      }
    } else if (q < 63) {
      vr_trailing_zeros = multiple_of_power_of_2(mv, q);
    }
  }

  // Drop digits while the interval still holds a number with fewer of them.
  // They go in steps of 8, 4, 2 and 1 digits: dropping k at once is the same as
  // k single steps, since floor(vp / 10^k) > floor(vm / 10^k) implies it for
  // every smaller k, and each step only needs the last digit it drops (the
  // highest) and whether the others were zeros. The powers are constants, so
  // that each division is a multiplication.
  const auto in_steps = [](auto step) {
    step.template operator()<100000000, 8>();
    step.template operator()<10000, 4>();
    step.template operator()<100, 2>();
    step.template operator()<10, 1>();
  };
  int removed = 0;
  std::uint64_t output;
  if (vm_trailing_zeros || vr_trailing_zeros) {
    // The general case, rare: a bound may be exact, or a tie may need breaking.
    std::uint64_t last_removed_digit = 0;
    const auto drop = [&]<std::uint64_t kPower, int kDigits>() {
      vr_trailing_zeros = vr_trailing_zeros && last_removed_digit == 0 && vr % (kPower / 10) == 0;
      last_removed_digit = vr / (kPower / 10) % 10;
      vr /= kPower;
      vp /= kPower;
      vm /= kPower;
      removed += kDigits;
    };
    in_steps([&]<std::uint64_t kPower, int kDigits>() {
      while (vp / kPower > vm / kPower) {
        vm_trailing_zeros = vm_trailing_zeros && vm % kPower == 0;
        drop.template operator()<kPower, kDigits>();
      }
    });
    if (vm_trailing_zeros) {
      in_steps([&]<std::uint64_t kPower, int kDigits>() {
        while (vm % kPower == 0) drop.template operator()<kPower, kDigits>();
      });
    }
    if (vr_trailing_zeros && last_removed_digit == 5 && vr % 2 == 0) last_removed_digit = 4;  // a tie: to even
    output = vr + (((vr == vm && (!accept_bounds || !vm_trailing_zeros)) || last_removed_digit >= 5) ? 1 : 0);
  } else {
    // The common case: no bound is exact and no tie can arise.
    bool round_up = false;
    in_steps([&]<std::uint64_t kPower, int kDigits>() {
      while (vp / kPower > vm / kPower) {
        round_up = vr % kPower >= kPower / 2;
        vr /= kPower;
        vp /= kPower;
        vm /= kPower;
        removed += kDigits;
      }
    });
    output = vr + ((vr == vm || round_up) ? 1 : 0);
  }
  return {output, e10 + removed};
}

}  // namespace corvane::encoding
