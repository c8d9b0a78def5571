// Signing keys: RFC 8032 known answers, and the destructor's wipe of the secret.
#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <string_view>

#include "check.hpp"
#include "encoding/hex.hpp"
#include "crypto/signing_key.hpp"

using corvane::ByteVector;
using corvane::crypto::SigningKey;

namespace {

ByteVector hex(std::string_view text) { return *corvane::encoding::decode_hex(text); }

std::array<std::uint8_t, 32> seed_of(std::string_view text) {
  std::array<std::uint8_t, 32> seed{};
  const ByteVector bytes = hex(text);
  std::copy(bytes.begin(), bytes.end(), seed.begin());
  return seed;
}

template <std::size_t N>
bool equals(const std::array<std::uint8_t, N>& actual, std::string_view expected_hex) {
  const ByteVector expected = hex(expected_hex);
  return std::equal(actual.begin(), actual.end(), expected.begin(), expected.end());
}

void rfc8032_vectors() {
  // RFC 8032 section 7.1: TEST 1 and TEST SHA(abc).
  const struct {
    std::string_view seed, public_key, message, signature;
  } vectors[] = {
      {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
       "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
       "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
       "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
      {"833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
       "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
       "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b589"
       "09351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"},
  };
  for (const auto& v : vectors) {
    const SigningKey key(seed_of(v.seed));
    CHECK(equals(key.public_key(), v.public_key));
    CHECK(equals(key.sign(hex(v.message)), v.signature));
  }
}

void destructor_wipes() {
  const auto seed = seed_of("c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7");
  alignas(SigningKey) std::uint8_t storage[sizeof(SigningKey)];
  const auto holds_seed = [&] {
    return std::search(std::begin(storage), std::end(storage), seed.begin(), seed.end()) != std::end(storage);
  };
  auto* key = new (storage) SigningKey(seed);
  CHECK(holds_seed());
  key->~SigningKey();
  CHECK(!holds_seed());
}

}  // namespace

int main() {
  rfc8032_vectors();
  destructor_wipes();
  return check::failures() != 0;
}
