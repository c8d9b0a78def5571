#include "functions/verify_digest.hpp"

#include <algorithm>
#include <string>

#include "base/bytes.hpp"
#include "crypto/ed25519_verify.hpp"
#include "encoding/hex.hpp"
#include "encoding/trim.hpp"

namespace corvane::functions {

Expected<bool> verify_ed25519_sha256_hex(const VerifyDigestRequest& request) {
  using encoding::decode_hex;
  using encoding::trim_white_space;

  const auto digest = decode_hex(trim_white_space(request.digest_hex));
  if (!digest) return value_error("digest_hex: " + digest.error().message);
  if (digest->size() != Digest{}.size()) return value_error("digest_hex must decode to 32 bytes");

  const auto signature_bytes = decode_hex(trim_white_space(request.signature_hex));
  if (!signature_bytes) return value_error("signature_hex: " + signature_bytes.error().message);
  if (signature_bytes->size() != crypto::Signature{}.size()) return value_error("signature_hex: signature error");

  const auto key_bytes = decode_hex(trim_white_space(request.public_key_hex));
  if (!key_bytes) return value_error("public_key_hex: " + key_bytes.error().message);
  if (key_bytes->size() != crypto::PublicKey{}.size()) return value_error("public_key_hex must decode to 32 bytes");

  crypto::PublicKey key;
  std::copy(key_bytes->begin(), key_bytes->end(), key.begin());
  crypto::Signature signature;
  std::copy(signature_bytes->begin(), signature_bytes->end(), signature.begin());
  // A key that verifies is a curve point, so verifying first spares valid
  // signatures the separate decoding check, a quarter of a verification's cost.
  if (crypto::verify_lenient(key, *digest, signature)) return true;
  if (!crypto::decodes_to_curve_point(key)) {
    return value_error("public_key_hex: signature error: Cannot decompress Edwards point");
  }
  return false;
}

}  // namespace corvane::functions
