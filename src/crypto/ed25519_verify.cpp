#include "crypto/ed25519_verify.hpp"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstddef>

#include "base/internal_failure.hpp"

namespace corvane::crypto {
namespace {

// A point as its 32-byte encoding. libsodium's point operations return
// canonical encodings, as the final comparison with R requires.
using Encoding = std::array<std::uint8_t, 32>;
using Scalar = std::array<std::uint8_t, 32>;

constexpr Encoding kIdentity = {1};

// The group order L = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr Scalar kGroupOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

// The y coordinates (sign bit ignored) of every encoding of a point of order
// at most 8: 0, 1, the two order-8 values, p-1, and the non-canonical p and
// p+1. These are the encodings libsodium's verification refuses as R or A.
constexpr std::array<Encoding, 7> kSmallOrderY = {{
    {0x00},
    {0x01},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4, 0x89, 0xf2, 0xef, 0x98, 0xf0,
     0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6, 0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b, 0x76, 0x0d, 0x10, 0x67, 0x0f,
     0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39, 0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0x7a},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0xee, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
}};

bool has_small_order_encoding(const std::uint8_t* point) {
  for (const Encoding& y : kSmallOrderY) {
    bool same = (point[31] & 0x7f) == y[31];
    for (std::size_t i = 0; same && i < 31; ++i) same = point[i] == y[i];
    if (same) return true;
  }
  return false;
}

// y < p = 2^255 - 19, ignoring the sign bit.
bool has_canonical_y(const std::uint8_t* point) {
  if ((point[31] & 0x7f) != 0x7f) return true;
  for (std::size_t i = 30; i > 0; --i) {
    if (point[i] != 0xff) return true;
  }
  return point[0] < 0xed;
}

bool is_below_group_order(const std::uint8_t* scalar) {
  for (std::size_t i = 32; i-- > 0;) {
    if (scalar[i] != kGroupOrder[i]) return scalar[i] < kGroupOrder[i];
  }
  return false;
}

bool is_zero(const Scalar& scalar) { return sodium_is_zero(scalar.data(), scalar.size()) == 1; }

// Every operand here is a point already known to be on the curve, so a
// failure of the library means a broken invariant.
Encoding add(const Encoding& p, const Encoding& q) {
  Encoding sum;
  if (crypto_core_ed25519_add(sum.data(), p.data(), q.data()) != 0) {
    throw InternalFailure("signature operation failed: point addition");
  }
  return sum;
}

Encoding subtract(const Encoding& p, const Encoding& q) {
  Encoding difference;
  if (crypto_core_ed25519_sub(difference.data(), p.data(), q.data()) != 0) {
    throw InternalFailure("signature operation failed: point subtraction");
  }
  return difference;
}

// [n]B for n < L. The library refuses n = 0, whose product is the identity.
Encoding multiply_base(const Scalar& n) {
  if (is_zero(n)) return kIdentity;
  Encoding product;
  if (crypto_scalarmult_ed25519_base_noclamp(product.data(), n.data()) != 0) {
    throw InternalFailure("signature operation failed: base point multiplication");
  }
  return product;
}

// [n]P for n < L and P in the prime-order subgroup. The library refuses the
// identity as P and n = 0, whose products are the identity.
Encoding multiply_prime_order(const Scalar& n, const Encoding& p) {
  if (is_zero(n) || p == kIdentity) return kIdentity;
  Encoding product;
  if (crypto_scalarmult_ed25519_noclamp(product.data(), n.data(), p.data()) != 0) {
    throw InternalFailure("signature operation failed: point multiplication");
  }
  return product;
}

// k = SHA-512(R || A || M) mod L.
Scalar challenge(const Signature& signature, const PublicKey& key, std::span<const std::uint8_t> message) {
  crypto_hash_sha512_state state;
  std::array<std::uint8_t, crypto_hash_sha512_BYTES> hash;
  crypto_hash_sha512_init(&state);
  crypto_hash_sha512_update(&state, signature.data(), 32);
  crypto_hash_sha512_update(&state, key.data(), key.size());
  crypto_hash_sha512_update(&state, message.data(), message.size());
  crypto_hash_sha512_final(&state, hash.data());
  Scalar k;
  crypto_core_ed25519_scalar_reduce(k.data(), hash.data());
  return k;
}

// For what libsodium's verification refuses (a key with y >= p or of small
// order, a small-order R): [S]B - [k]A from the library's point operations,
// whose addition accepts any curve point. Writing k = 8q + r,
// [k]A = [q]([8]A) + [r]A: [8]A lies in the prime-order subgroup, where scalar
// multiplication is available, and [r]A takes at most 3 subtractions.
bool verify_with_point_operations(const PublicKey& key, std::span<const std::uint8_t> message,
                                  const Signature& signature) {
  Encoding a2;
  if (crypto_core_ed25519_add(a2.data(), key.data(), key.data()) != 0) return false;  // not a curve point
  const Encoding a4 = add(a2, a2);
  const Encoding a8 = add(a4, a4);

  const Scalar k = challenge(signature, key, message);
  Scalar q;
  for (std::size_t i = 0; i < 32; ++i) {
    q[i] = static_cast<std::uint8_t>(k[i] >> 3 | (i + 1 < 32 ? k[i + 1] << 5 : 0));
  }
  const unsigned r = k[0] & 7;

  Scalar s;
  std::copy(signature.begin() + 32, signature.end(), s.begin());
  Encoding check = subtract(multiply_base(s), multiply_prime_order(q, a8));
  if (r & 1) check = subtract(check, key);
  if (r & 2) check = subtract(check, a2);
  if (r & 4) check = subtract(check, a4);
  return crypto_verify_32(check.data(), signature.data()) == 0;
}

}  // namespace

bool decodes_to_curve_point(const PublicKey& key) {
  // Addition decodes its operands by exactly these lenient rules and fails
  // only when a square root is missing.
  Encoding sum;
  return crypto_core_ed25519_add(sum.data(), key.data(), kIdentity.data()) == 0;
}

bool verify_lenient(const PublicKey& key, std::span<const std::uint8_t> message, const Signature& signature) {
  if (!is_below_group_order(signature.data() + 32)) return false;
  // Outside these refusals (besides S >= L) libsodium's verification computes
  // exactly this comparison, mixed-order keys included, and is much faster.
  if (has_canonical_y(key.data()) && !has_small_order_encoding(key.data()) &&
      !has_small_order_encoding(signature.data())) {
    return crypto_sign_verify_detached(signature.data(), message.data(), message.size(), key.data()) == 0;
  }
  return verify_with_point_operations(key, message, signature);
}

}  // namespace corvane::crypto
