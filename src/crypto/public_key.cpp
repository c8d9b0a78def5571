#include "crypto/public_key.hpp"

#include <sodium.h>

namespace corvane::crypto {

bool is_seed_public_key(const PublicKey& key) { return crypto_core_ed25519_is_valid_point(key.data()) == 1; }

}  // namespace corvane::crypto
