// The public key of a caller's seed: what a signer registers with the service.
#pragma once

#include <cstdint>
#include <span>

#include "base/bytes.hpp"
#include "base/expected.hpp"

namespace corvane::functions {

struct PublicKeyRequest {
  std::span<const std::uint8_t> seed;
};

// The 32-byte Ed25519 public key, or the ValueError "seed must be exactly 32
// bytes (Ed25519 signing key seed)". The derived secret is wiped before return.
Expected<ByteVector> public_key(const PublicKeyRequest& request);

}  // namespace corvane::functions
