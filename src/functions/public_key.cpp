#include "functions/public_key.hpp"

#include "crypto/seed.hpp"
#include "crypto/signing_key.hpp"

namespace corvane::functions {

Expected<ByteVector> public_key(const PublicKeyRequest& request) {
  auto seed = crypto::checked_seed(request.seed, "seed");
  if (!seed) return fail(std::move(seed).error());
  const crypto::SigningKey key(*seed);
  return ByteVector(key.public_key().begin(), key.public_key().end());
}

}  // namespace corvane::functions
