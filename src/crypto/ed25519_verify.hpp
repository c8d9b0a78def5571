// Lenient Ed25519 verification: the rules the service applies, which accept
// more than libsodium's own verification does.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/signing_key.hpp"

namespace corvane::crypto {

// Whether the bytes name a point on the curve: y is the low 255 bits taken
// modulo the field prime (so y >= p is allowed), x is the root whose parity
// is the top bit (x = 0 with that bit set counts as x = 0). Points of small
// or mixed order are accepted. Fails only when x has no square root.
bool decodes_to_curve_point(const PublicKey& key);

// Cofactorless verification comparing encodings: true iff S < L and the
// canonical encoding of [S]B - [k]A equals R byte for byte, where
// k = SHA-512(R || A || M) mod L over the key bytes exactly as given. R is not
// decoded; no small-order check is made on R or A. A key that does not decode
// gives false.
bool verify_lenient(const PublicKey& key, std::span<const std::uint8_t> message, const Signature& signature);

}  // namespace corvane::crypto
