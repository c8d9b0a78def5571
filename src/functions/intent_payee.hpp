// The payee of an intent as the caller names it: by the seed its key pair is
// made from, or by its public key. Only the public key is signed and written,
// so a principal's backend that holds no payee secret can create the intent.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "base/expected.hpp"
#include "crypto/signing_key.hpp"

namespace corvane::functions {

struct PayeeSeed {
  std::span<const std::uint8_t> bytes;
};

struct PayeePublicKey {
  std::span<const std::uint8_t> bytes;
};

using Payee = std::variant<PayeeSeed, PayeePublicKey>;

// The payee's public key, or the ValueError of its parameter: "payee_seed must
// be exactly 32 bytes (Ed25519 signing key seed)", "payee_public_key must be
// exactly 32 bytes" or "payee_public_key is not the public key of any Ed25519
// seed". A key is derived in a signing key that wipes itself before return.
Expected<crypto::PublicKey> checked_payee_key(const Payee& payee);

}  // namespace corvane::functions
