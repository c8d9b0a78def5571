// Per-call time of verify_lenient against libsodium's crypto_sign_verify_detached
// on the same ordinary keys and signatures, plus the point-operation path taken
// for keys libsodium refuses, the key decoding check and the whole digest call.
#include <sodium.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "crypto/ed25519_verify.hpp"
#include "encoding/hex.hpp"
#include "crypto/signing_key.hpp"
#include "functions/verify_digest.hpp"

namespace {

using corvane::crypto::PublicKey;
using corvane::crypto::Signature;
using Digest = std::array<std::uint8_t, 32>;

struct Input {
  PublicKey key;
  Digest digest;
  Signature signature;
};

constexpr int kInputs = 64;
constexpr int kRounds = 15;

// Smallest mean time per input over the rounds, in nanoseconds.
template <class Verify>
double time_per_call(const std::vector<Input>& inputs, Verify verify, bool expected = true) {
  double best = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    int accepted = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Input& in : inputs) accepted += verify(in) ? 1 : 0;
    const auto stop = std::chrono::steady_clock::now();
    if (accepted != (expected ? static_cast<int>(inputs.size()) : 0)) {
      std::fprintf(stderr, "a benchmark input gave the wrong answer\n");
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double, std::nano>(stop - start).count() / inputs.size());
  }
  return best;
}

std::vector<Input> ordinary_inputs() {
  std::vector<Input> inputs(kInputs);
  for (int i = 0; i < kInputs; ++i) {
    std::array<std::uint8_t, 32> seed{};
    seed[0] = static_cast<std::uint8_t>(i + 1);
    const corvane::crypto::SigningKey key(seed);
    inputs[i].key = key.public_key();
    crypto_hash_sha256(inputs[i].digest.data(), seed.data(), seed.size());
    inputs[i].signature = key.sign(inputs[i].digest);
  }
  return inputs;
}

// The identity as public key: R = [S]B verifies over any message.
std::vector<Input> identity_key_inputs() {
  std::vector<Input> inputs(kInputs);
  for (int i = 0; i < kInputs; ++i) {
    Input& in = inputs[i];
    in.key = PublicKey{1};
    in.digest.fill(static_cast<std::uint8_t>(i));
    std::array<std::uint8_t, 32> s{};
    s[0] = static_cast<std::uint8_t>(i + 1);
    s[5] = 0x5a;
    crypto_scalarmult_ed25519_base_noclamp(in.signature.data(), s.data());
    std::copy(s.begin(), s.end(), in.signature.begin() + 32);
  }
  return inputs;
}

}  // namespace

int main() {
  if (sodium_init() < 0) return 1;
  const std::vector<Input> ordinary = ordinary_inputs();
  const std::vector<Input> identity_key = identity_key_inputs();

  const auto libsodium = [](const Input& in) {
    return crypto_sign_verify_detached(in.signature.data(), in.digest.data(), in.digest.size(), in.key.data()) == 0;
  };
  const auto lenient = [](const Input& in) { return corvane::crypto::verify_lenient(in.key, in.digest, in.signature); };
  const auto decodes = [](const Input& in) { return corvane::crypto::decodes_to_curve_point(in.key); };
  // The digest call takes hex text: the same inputs, then with the digest's
  // first digit changed so that the signature no longer verifies.
  std::vector<std::array<std::string, 3>> texts;
  for (const Input& in : ordinary) {
    texts.push_back({corvane::encoding::encode_hex(in.digest), corvane::encoding::encode_hex(in.signature),
                     corvane::encoding::encode_hex(in.key)});
  }
  const auto whole_call = [&](const Input& in) {
    const auto& t = texts[&in - ordinary.data()];
    const auto result = corvane::functions::verify_ed25519_sha256_hex({t[0], t[1], t[2]});
    return result.ok() && *result;
  };
  std::vector<std::array<std::string, 3>> wrong_digest_texts = texts;
  for (auto& t : wrong_digest_texts) t[0][0] = t[0][0] == '0' ? '1' : '0';
  const auto wrong_digest_call = [&](const Input& in) {
    const auto& t = wrong_digest_texts[&in - ordinary.data()];
    const auto result = corvane::functions::verify_ed25519_sha256_hex({t[0], t[1], t[2]});
    return result.ok() && *result;
  };

  // Interleaved so that both see the same machine load.
  double sodium_ns = 1e300, lenient_ns = 1e300;
  for (int pass = 0; pass < 4; ++pass) {
    sodium_ns = std::min(sodium_ns, time_per_call(ordinary, libsodium));
    lenient_ns = std::min(lenient_ns, time_per_call(ordinary, lenient));
  }
  std::printf("ordinary keys, crypto_sign_verify_detached: %8.0f ns/call\n", sodium_ns);
  std::printf("ordinary keys, verify_lenient:              %8.0f ns/call (%.3fx)\n", lenient_ns,
              lenient_ns / sodium_ns);
  std::printf("ordinary keys, decodes_to_curve_point:      %8.0f ns/call\n", time_per_call(ordinary, decodes));
  std::printf("ordinary keys, verify_ed25519_sha256_hex:   %8.0f ns/call (valid)\n",
              time_per_call(ordinary, whole_call));
  std::printf("ordinary keys, verify_ed25519_sha256_hex:   %8.0f ns/call (wrong digest)\n",
              time_per_call(ordinary, wrong_digest_call, false));
  std::printf("identity key,  verify_lenient (slow path):  %8.0f ns/call\n", time_per_call(identity_key, lenient));
  return 0;
}
