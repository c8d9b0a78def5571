// verify_ed25519_sha256_hex on native values: checks an Ed25519 signature over
// a caller-supplied 32-byte digest, all three given as hex text.
#pragma once

#include <string_view>

#include "base/expected.hpp"

namespace corvane::functions {

struct VerifyDigestRequest {
  std::string_view digest_hex;
  std::string_view signature_hex;
  std::string_view public_key_hex;
};

// True or false by the lenient verification rules; a ValueError when an input
// does not decode. The inputs are trimmed of white space and checked in
// order: digest, signature, public key.
Expected<bool> verify_ed25519_sha256_hex(const VerifyDigestRequest& request);

}  // namespace corvane::functions
