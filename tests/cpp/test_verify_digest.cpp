// verify_ed25519_sha256_hex: results, trimming, and its seven messages in order.
#include <string>
#include <string_view>

#include "check.hpp"
#include "functions/verify_digest.hpp"

namespace {

// SHA-256 of "audit export manifest", signed with the RFC 8032 TEST 1 seed (by PyNaCl).
constexpr std::string_view kDigest = "0d352d465254a3d2895e501abe4d24892e4d38345c6a0b6216f3d340e35cd9fd";
constexpr std::string_view kSignature =
    "9eb7fba27b0865e67f62eedfab776ec91fdc55bdba3d0eb23375f34fdcf1adfa"
    "1806da80a48cf4fe76cb47f98610d26093c6bc9a22f30095fa180b901ea63702";
constexpr std::string_view kKey = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";

void results() {
  const struct {
    std::string_view digest, signature, key;
    bool valid;
  } cases[] = {
      {kDigest, kSignature, kKey, true},
      // Upper case and white space around (U+00A0, U+3000, line breaks) change nothing.
      {" \n0D352D465254A3D2895E501ABE4D24892E4D38345C6A0B6216F3D340E35CD9FD\t",
       "\xc2\xa0" "9EB7FBA27B0865E67F62EEDFAB776EC91FDC55BDBA3D0EB23375F34FDCF1ADFA"
       "1806DA80A48CF4FE76CB47F98610D26093C6BC9A22F30095FA180B901EA63702\r\n",
       "\xe3\x80\x80" "D75A980182B10AB7D54BFED3C964073A0EE172F3DAA62325AF021A68F707511A ", true},
      // One bit of the digest flipped.
      {"0c352d465254a3d2895e501abe4d24892e4d38345c6a0b6216f3d340e35cd9fd", kSignature, kKey, false},
      // S replaced by S + L.
      {kDigest,
       "9eb7fba27b0865e67f62eedfab776ec91fdc55bdba3d0eb23375f34fdcf1adfa"
       "05dacfddbeef06574d683f9c650ab17593c6bc9a22f30095fa180b901ea63712",
       kKey, false},
      // The identity as key: R = [S]B verifies over any digest.
      {kDigest,
       "8b89d95d0195a10d54192536bc3fc9a63666135ed4d54ec3e7efa20d476c0546"
       "347d1636992f2882f8bb7e232b2c3644b567367becfe4b66e3d733f295e5270f",
       "0100000000000000000000000000000000000000000000000000000000000000", true},
  };
  for (const auto& c : cases) {
    const auto result = corvane::functions::verify_ed25519_sha256_hex({c.digest, c.signature, c.key});
    CHECK(result.ok());
    if (result) CHECK_EQ(*result, c.valid);
  }
}

void messages_in_order() {
  const std::string odd_digest(63, 'a');
  const std::string short_key(62, '1');
  constexpr std::string_view not_a_point = "0200000000000000000000000000000000000000000000000000000000000000";
  const struct {
    std::string_view digest, signature, key, message;
  } cases[] = {
      {"0g", "zz", "zz", "digest_hex: Invalid character 'g' at position 1"},
      {odd_digest, "zz", "zz", "digest_hex: Odd number of digits"},
      {"", "zz", "zz", "digest_hex must decode to 32 bytes"},
      {kDigest.substr(2), "zz", "zz", "digest_hex must decode to 32 bytes"},
      {kDigest, "  00x0 ", "zz", "signature_hex: Invalid character 'x' at position 2"},
      {kDigest, "000", "zz", "signature_hex: Odd number of digits"},
      {kDigest, kKey, "zz", "signature_hex: signature error"},
      {kDigest, kSignature.substr(2), short_key, "signature_hex: signature error"},
      {kDigest, kSignature, "\xc3\xa9" "00", "public_key_hex: Invalid character '\xc3\x83' at position 0"},
      {kDigest, kSignature, short_key, "public_key_hex must decode to 32 bytes"},
      {kDigest, kSignature, kSignature, "public_key_hex must decode to 32 bytes"},
      {kDigest, kSignature, not_a_point, "public_key_hex: signature error: Cannot decompress Edwards point"},
  };
  for (const auto& c : cases) {
    const auto result = corvane::functions::verify_ed25519_sha256_hex({c.digest, c.signature, c.key});
    CHECK(!result.ok());
    if (!result) CHECK_EQ(result.error().message, c.message);
  }
}

}  // namespace

int main() {
  results();
  messages_in_order();
  return check::failures() != 0;
}
