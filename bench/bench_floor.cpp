// The library floor of each signing function: the work no implementation can
// avoid (key derivation, BLAKE3 over the canonical texts, Ed25519 signing),
// called straight from C++. bench/run.py compares the Python functions with
// these figures, measured in the same run.
#include <blake3.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <class Work>
double best_microseconds(Work work, int iterations = 2000, int rounds = 7) {
  double best = 1e300;
  for (int round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) work();
    const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count() / iterations);
  }
  return best;
}

void digest(const std::string& text, unsigned char out[32]) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, text.data(), text.size());
  blake3_hasher_finalize(&hasher, out, 32);
}

std::string filler_json(std::size_t size) {
  std::string text = "{";
  for (int i = 0; text.size() < size; ++i) text += "\"k" + std::to_string(i) + "\":\"value number " + std::to_string(i) + "\",";
  text.back() = '}';
  return text;
}

}  // namespace

int main() {
  if (sodium_init() < 0) return 1;
  unsigned char seed[32] = {7};
  unsigned char pk[32], sk[64], sig[64], out[32];

  // Evidence: one key, the payload and artifact digests, one signature over
  // the 132-byte record.
  const std::string payload = filler_json(1024);
  const std::vector<unsigned char> artifacts(96, 0x11);
  std::vector<unsigned char> record(160, 0x02);
  const double evidence = best_microseconds([&] {
    crypto_sign_seed_keypair(pk, sk, seed);
    digest(payload, out);
    blake3_hasher hasher;
    blake3_hasher_init(&hasher);
    blake3_hasher_update(&hasher, artifacts.data(), artifacts.size());
    blake3_hasher_finalize(&hasher, out, 32);
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });

  // Intent: two keys, four digests, one signature over a ~330-byte record.
  const std::string budget = filler_json(512), schema = filler_json(512), predicate = filler_json(512);
  const std::string tools = "[\"browse\",\"fetch\",\"read\",\"search\",\"write\"]";
  std::vector<unsigned char> intent_record(330, 0x06);
  const double intent = best_microseconds([&] {
    crypto_sign_seed_keypair(pk, sk, seed);
    sodium_memzero(sk, sizeof sk);
    digest(budget, out);
    digest(schema, out);
    digest(predicate, out);
    digest(tools, out);
    crypto_sign_seed_keypair(pk, sk, seed);
    crypto_sign_detached(sig, nullptr, intent_record.data(), intent_record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });

  // Verification of an ordinary signature over a 32-byte digest.
  unsigned char message[32] = {1};
  crypto_sign_seed_keypair(pk, sk, seed);
  crypto_sign_detached(sig, nullptr, message, sizeof message, sk);
  int valid = 0;
  const double verify =
      best_microseconds([&] { valid += crypto_sign_verify_detached(sig, message, sizeof message, pk) == 0; });
  if (valid == 0) return 1;

  std::printf("{\"evidence_floor_us\": %.3f, \"intent_floor_us\": %.3f, \"verify_floor_us\": %.3f}\n", evidence,
              intent, verify);
  return 0;
}
