// The floor of each signing function: the same work done from C++ with no
// Python in between — libsodium key derivation and signing, and the digests
// of the very JSON texts the Python benchmark passes (read with our reader,
// hashed with BLAKE3). bench/run.py writes those texts to the file named by
// argv[1] and compares the Python functions with these figures, measured in
// the same run. Beside the floor, the whole evidence function on the same
// inputs, still from C++.
#include <blake3.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"
#include "functions/evidence_binding.hpp"

namespace {

using namespace corvane;
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

Digest digest_of_text(std::string_view json) {
  auto value = encoding::read_json(json);
  if (!value) throw std::runtime_error(value.error().message);
  return encoding::content_digest(*value);
}

std::string member(const encoding::JsonValue& inputs, std::string_view key) {
  const encoding::JsonValue* value = inputs.find(key);
  if (value == nullptr) throw std::runtime_error("missing input " + std::string(key));
  return std::string(value->as_string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || sodium_init() < 0) {
    std::fprintf(stderr, "usage: bench_floor INPUTS.json (written by bench/run.py)\n");
    return 1;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  auto inputs = encoding::read_json(contents.str());
  if (!inputs) return 1;
  const std::string payload = member(*inputs, "payload_json");
  const std::string budget = member(*inputs, "budget_json");
  const std::string schema = member(*inputs, "evidence_schema_json");
  const std::string predicate = member(*inputs, "predicate_json");
  const std::vector<std::string> tools = *encoding::read_json_string_array(member(*inputs, "allowed_tools_json"));

  unsigned char seed[32] = {7};
  unsigned char pk[32], sk[64], sig[64];
  Digest sink{};
  const auto keep = [&](const Digest& d) { sink[0] ^= d[0]; };

  // Evidence: one key, the payload and artifact digests, one signature over
  // the 132-byte record.
  const std::vector<Digest> artifacts(3, Digest{});
  const std::vector<unsigned char> record(132, 0x02);
  const double evidence = best_microseconds([&] {
    crypto_sign_seed_keypair(pk, sk, seed);
    keep(digest_of_text(payload));
    keep(encoding::artifact_list_digest(artifacts));
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });

  // Intent: two keys, four digests, one signature over the record.
  const std::vector<unsigned char> intent_record(330, 0x06);
  const double intent = best_microseconds([&] {
    crypto_sign_seed_keypair(pk, sk, seed);
    sodium_memzero(sk, sizeof sk);
    keep(digest_of_text(budget));
    keep(digest_of_text(schema));
    keep(digest_of_text(predicate));
    keep(encoding::allowed_tools_digest(tools));
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

  // The whole evidence function on the same inputs, for how much of a call
  // beyond the floor is the function's own work (parsing, writing the body).
  std::vector<std::string> artifacts_hex;
  for (const encoding::JsonValue& artifact : inputs->find("artifacts_hex")->as_array()) {
    artifacts_hex.emplace_back(artifact.as_string());
  }
  const std::string tenant = member(*inputs, "tenant_id"), intent_id = member(*inputs, "intent_id");
  const std::string payee_did = member(*inputs, "payee_did"), submitted = member(*inputs, "submitted_at_rfc3339");
  const functions::EvidenceRequest request = {tenant, intent_id, payee_did, payload, artifacts_hex, submitted,
                                              {seed, sizeof seed}};
  std::size_t written = 0;
  const double evidence_function = best_microseconds([&] {
    auto body = functions::sign_payee_evidence_binding_json(request);
    if (!body) throw std::runtime_error(body.error().message);
    written += body->size();
  });

  std::printf("{\"evidence_floor_us\": %.3f, \"intent_floor_us\": %.3f, \"verify_floor_us\": %.3f, "
              "\"evidence_function_us\": %.3f, \"sink\": %d}\n",
              evidence, intent, verify, evidence_function, sink[0] ^ static_cast<int>(written & 1));
  return 0;
}
