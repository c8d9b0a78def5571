#include "functions/verify_digest.hpp"

#include <string>

#include "base/bytes.hpp"
#include "crypto/ed25519_verify.hpp"
#include "encoding/hex.hpp"
#include "encoding/trim.hpp"

namespace corvane::functions {

Expected<bool> verify_ed25519_sha256_hex(const VerifyDigestRequest& request) {
  using encoding::decode_hex_exact;
  using encoding::trim_white_space;

  // Each input straight into its fixed-size bytes: nothing is allocated
  // unless an input is refused.
  Digest digest;
  const auto digest_decoded = decode_hex_exact(trim_white_space(request.digest_hex), digest);
  if (!digest_decoded) return value_error("digest_hex: " + digest_decoded.error().message);
  if (!*digest_decoded) return value_error("digest_hex must decode to 32 bytes");

  crypto::Signature signature;
  const auto signature_decoded = decode_hex_exact(trim_white_space(request.signature_hex), signature);
  if (!signature_decoded) return value_error("signature_hex: " + signature_decoded.error().message);
  if (!*signature_decoded) return value_error("signature_hex: signature error");

  crypto::PublicKey key;
  const auto key_decoded = decode_hex_exact(trim_white_space(request.public_key_hex), key);
  if (!key_decoded) return value_error("public_key_hex: " + key_decoded.error().message);
  if (!*key_decoded) return value_error("public_key_hex must decode to 32 bytes");

  // A key that verifies is a curve point, so verifying first spares valid
  // signatures the separate decoding check, a quarter of a verification's cost.
  if (crypto::verify_lenient(key, digest, signature)) return true;
  if (!crypto::decodes_to_curve_point(key)) {
    return value_error("public_key_hex: signature error: Cannot decompress Edwards point");
  }
  return false;
}

}  // namespace corvane::functions
