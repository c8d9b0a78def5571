// verify_ed25519_sha256_hex with fuzz-chosen texts. Fields (see Fields): a
// digest_hex, b signature_hex, c public_key_hex, d a signer whose key (its
// SHA-256) signs the digest and supplies b and c, so that fuzzed digests
// reach the True path. Checks: no crash, the same answer twice, and a
// signature made by libsodium with neither b nor c replaced verifies.
#include <sodium.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/hex.hpp"
#include "encoding/trim.hpp"
#include "functions/verify_digest.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    fuzz::require(sodium_init() >= 0, "sodium_init failed");
    const fuzz::Fields fields(data, size, 4);
    std::string digest_hex(fields.text(0, "4b8c0b9f1c2d3e4f5a6b7c8d9e0f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b"));
    std::string signature_hex, public_key_hex;
    const auto digest = decode_hex(trim_white_space(digest_hex));
    const bool signed_here = digest && digest->size() == 32;
    if (signed_here) {
      const std::string_view signer = fields.text(3, "default signer");
      std::array<std::uint8_t, 32> seed, public_key;
      std::array<std::uint8_t, 64> secret, signature;
      crypto_hash_sha256(seed.data(), reinterpret_cast<const unsigned char*>(signer.data()), signer.size());
      crypto_sign_seed_keypair(public_key.data(), secret.data(), seed.data());
      crypto_sign_detached(signature.data(), nullptr, digest->data(), 32, secret.data());
      sodium_memzero(secret.data(), secret.size());
      signature_hex = encode_hex(signature), public_key_hex = encode_hex(public_key);
    }
    signature_hex = fields.text(1, signature_hex), public_key_hex = fields.text(2, public_key_hex);
    const auto verify = [&] {
      return corvane::functions::verify_ed25519_sha256_hex({digest_hex, signature_hex, public_key_hex});
    };
    const auto result = verify();
    fuzz::require(fuzz::same_outcome(result, verify()),
                  "verifying twice gives two answers", digest_hex);
    if (signed_here && !fields.has(1) && !fields.has(2)) {
      fuzz::require(result && *result, "a libsodium signature does not verify", digest_hex);
    }
  });
}
