// Ed25519 signing keys (RFC 8032, pure: no context, no prehash) made from a
// caller's 32-byte seed.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <span>

#include "crypto/seed.hpp"

namespace corvane::crypto {

using PublicKey = std::array<std::uint8_t, crypto_sign_PUBLICKEYBYTES>;
using Signature = std::array<std::uint8_t, crypto_sign_BYTES>;

// Owns the only copy of the secret it derives; the bytes are overwritten with
// zeros by wipe() and by the destructor. Neither copyable nor movable, so the
// secret never leaves this object's storage.
class SigningKey {
 public:
  explicit SigningKey(Seed seed);
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  const PublicKey& public_key() const { return public_key_; }

  // Deterministic: the same seed and message give the same signature.
  Signature sign(std::span<const std::uint8_t> message) const;

  void wipe();

  // Whether any secret byte is still non-zero; lets tests observe the wipe.
  bool holds_secret() const;

 private:
  // libsodium's layout: seed followed by the public key.
  std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> secret_;
  PublicKey public_key_;
};

}  // namespace corvane::crypto
