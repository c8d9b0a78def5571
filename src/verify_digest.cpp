#include "verify_digest.hpp"

#include <algorithm>
#include <string>

#include "ed25519_verify.hpp"
#include "encoding/bytes.hpp"
#include "encoding/hex.hpp"
#include "encoding/trim.hpp"

namespace corvane {

Expected<bool> verify_ed25519_sha256_hex(std::string_view digest_hex, std::string_view signature_hex,
                                         std::string_view public_key_hex) {
  using encoding::decode_hex;
  using encoding::trim_white_space;

  const auto digest = decode_hex(trim_white_space(digest_hex));
  if (!digest) return fail("digest_hex: " + digest.error());
  if (digest->size() != Digest{}.size()) return fail(std::string("digest_hex must decode to 32 bytes"));

  const auto signature_bytes = decode_hex(trim_white_space(signature_hex));
  if (!signature_bytes) return fail("signature_hex: " + signature_bytes.error());
  if (signature_bytes->size() != Signature{}.size()) return fail(std::string("signature_hex: signature error"));

  const auto key_bytes = decode_hex(trim_white_space(public_key_hex));
  if (!key_bytes) return fail("public_key_hex: " + key_bytes.error());
  if (key_bytes->size() != PublicKey{}.size()) return fail(std::string("public_key_hex must decode to 32 bytes"));

  PublicKey key;
  std::copy(key_bytes->begin(), key_bytes->end(), key.begin());
  Signature signature;
  std::copy(signature_bytes->begin(), signature_bytes->end(), signature.begin());
  // A key that verifies is a curve point, so verifying first spares valid
  // signatures the separate decoding check, a quarter of a verification's cost.
  if (verify_lenient(key, *digest, signature)) return true;
  if (!decodes_to_curve_point(key)) {
    return fail(std::string("public_key_hex: signature error: Cannot decompress Edwards point"));
  }
  return false;
}

}  // namespace corvane
