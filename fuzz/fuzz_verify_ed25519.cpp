// verify_ed25519_sha256_hex, driven with arbitrary hex texts.
//
// Fields (see Fields in fuzz_support.hpp): a digest_hex, b signature_hex,
// c public_key_hex, d a signer. Without any field the inputs are a valid
// signature. When d is given, its bytes pick a key (through SHA-256) that
// signs the digest (when that is 32 bytes of hex), and its signature and key
// are the defaults of b and c, so that fuzzed digests reach the True path.
//
// Properties: no crash; an error is a ValueError with the message of the
// first failing input in the documented order (digest, signature, key); a
// signature that libsodium's strict verification accepts gives True; one made
// by Sign gives True; S at or above the group order gives False.
#include <sodium.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/ed25519_verify.hpp"
#include "encoding/hex.hpp"
#include "encoding/trim.hpp"
#include "fuzz_support.hpp"
#include "functions/verify_digest.hpp"

namespace {

using corvane::encoding::decode_hex;
using corvane::encoding::encode_hex;
using corvane::encoding::trim_white_space;

struct Signed {
  std::string digest_hex, signature_hex, public_key_hex;
};

Signed sign_digest(std::string_view signer, const std::array<std::uint8_t, 32>& digest) {
  std::array<std::uint8_t, 32> seed;
  crypto_hash_sha256(seed.data(), reinterpret_cast<const unsigned char*>(signer.data()), signer.size());
  std::array<std::uint8_t, crypto_sign_PUBLICKEYBYTES> public_key;
  std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> secret;
  crypto_sign_seed_keypair(public_key.data(), secret.data(), seed.data());
  std::array<std::uint8_t, crypto_sign_BYTES> signature;
  crypto_sign_detached(signature.data(), nullptr, digest.data(), digest.size(), secret.data());
  sodium_memzero(secret.data(), secret.size());
  return {encode_hex(digest), encode_hex(signature), encode_hex(public_key)};
}

const Signed& defaults() {
  static const Signed value = [] {
    if (sodium_init() < 0) fuzz::finding("sodium_init failed");
    std::array<std::uint8_t, 32> digest;
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>("audit manifest"), 14);
    return sign_digest("default signer", digest);
  }();
  return value;
}

// The error the documented order of checks gives, or "" when every input
// decodes.
std::string expected_error(std::string_view digest_hex, std::string_view signature_hex,
                           std::string_view public_key_hex) {
  const auto digest = decode_hex(trim_white_space(digest_hex));
  if (!digest) return "digest_hex: " + digest.error().message;
  if (digest->size() != 32) return "digest_hex must decode to 32 bytes";
  const auto signature = decode_hex(trim_white_space(signature_hex));
  if (!signature) return "signature_hex: " + signature.error().message;
  if (signature->size() != 64) return "signature_hex: signature error";
  const auto key = decode_hex(trim_white_space(public_key_hex));
  if (!key) return "public_key_hex: " + key.error().message;
  if (key->size() != 32) return "public_key_hex must decode to 32 bytes";
  corvane::crypto::PublicKey point;
  std::copy(key->begin(), key->end(), point.begin());
  if (!corvane::crypto::decodes_to_curve_point(point)) return "public_key_hex: signature error: Cannot decompress Edwards point";
  return "";
}

bool s_below_group_order(const corvane::ByteVector& signature) {
  // L = 2^252 + 27742317777372353535851937790883648493, little-endian.
  static constexpr std::uint8_t kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                              0xa2, 0xde, 0xf9, 0xde, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0x10};
  for (int i = 31; i >= 0; --i) {
    if (signature[32 + i] != kOrder[i]) return signature[32 + i] < kOrder[i];
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    const fuzz::Fields fields(data, size, 4);
    Signed chosen = defaults();
    bool signature_matches = !fields.has(0);
    if (fields.has(0)) chosen.digest_hex = fields.text(0, {});
    if (fields.has(3)) {
      const auto digest = decode_hex(trim_white_space(chosen.digest_hex));
      if (digest && digest->size() == 32) {
        std::array<std::uint8_t, 32> message;
        std::copy(digest->begin(), digest->end(), message.begin());
        const Signed made = sign_digest(fields.text(3, {}), message);
        chosen.signature_hex = made.signature_hex;
        chosen.public_key_hex = made.public_key_hex;
        signature_matches = true;
      }
    }
    const bool made_by_sign = signature_matches && !fields.has(1) && !fields.has(2);
    if (fields.has(1)) chosen.signature_hex = fields.text(1, {});
    if (fields.has(2)) chosen.public_key_hex = fields.text(2, {});

    const auto result =
        corvane::functions::verify_ed25519_sha256_hex({chosen.digest_hex, chosen.signature_hex, chosen.public_key_hex});
    const std::string expected = expected_error(chosen.digest_hex, chosen.signature_hex, chosen.public_key_hex);
    if (!result) {
      fuzz::require(result.error().message == expected, "wrong error, or an error out of order",
                    result.error().message + "\n  expected: " + (expected.empty() ? "a result" : expected));
      return;
    }
    fuzz::require(expected.empty(), "a result where an input does not decode", expected);

    const auto digest = decode_hex(trim_white_space(chosen.digest_hex));
    const auto signature = decode_hex(trim_white_space(chosen.signature_hex));
    const auto key = decode_hex(trim_white_space(chosen.public_key_hex));
    const bool strict = crypto_sign_verify_detached(signature->data(), digest->data(), digest->size(), key->data()) == 0;
    if (strict || made_by_sign) fuzz::require(*result, "a valid signature does not verify", chosen.signature_hex);
    if (!s_below_group_order(*signature)) fuzz::require(!*result, "S at or above the group order verifies");
  });
}
