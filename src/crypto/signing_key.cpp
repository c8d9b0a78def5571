#include "crypto/signing_key.hpp"

#include "base/internal_failure.hpp"

namespace corvane::crypto {

SigningKey::SigningKey(Seed seed) {
  if (crypto_sign_seed_keypair(public_key_.data(), secret_.data(), seed.data()) != 0) {
    wipe();
    throw InternalFailure("signature operation failed: key derivation from seed");
  }
}

SigningKey::~SigningKey() { wipe(); }

void SigningKey::wipe() { sodium_memzero(secret_.data(), secret_.size()); }

bool SigningKey::holds_secret() const { return sodium_is_zero(secret_.data(), secret_.size()) == 0; }

Signature SigningKey::sign(std::span<const std::uint8_t> message) const {
  // A wiped key would sign as the all-zero seed while claiming its old public key.
  if (!holds_secret()) throw InternalFailure("signing key used after it was wiped");
  Signature signature;
  if (crypto_sign_detached(signature.data(), nullptr, message.data(), message.size(), secret_.data()) != 0) {
    throw InternalFailure("signature operation failed");
  }
  return signature;
}

}  // namespace corvane::crypto
