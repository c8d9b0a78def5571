// Public keys that a caller hands over instead of a seed.
#pragma once

#include "crypto/signing_key.hpp"

namespace corvane::crypto {

// Whether the bytes are a public key some seed gives: the canonical encoding
// of a point of prime order other than the identity. A key outside that set
// either verifies nothing (not a curve point) or verifies forgeries (a point
// of small order), and no key pair made from a seed has one.
bool is_seed_public_key(const PublicKey& key);

}  // namespace corvane::crypto
