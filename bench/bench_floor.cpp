// The floor of each signing function: the same work done from C++ with no
// Python in between: libsodium key derivation and signing, and the content
// digests of the very JSON texts the Python benchmark passes, each taken in
// one pass, the fastest way this library has. bench/run.py loads this as a
// shared library and times each function against its floor in alternation,
// so that both see the same machine. Beside the floors, the whole evidence
// function on the same inputs, still from C++, for the batch rows.
#include <sodium.h>

#include <ctime>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"
#include "functions/evidence_binding.hpp"

namespace {

using namespace corvane;

struct Inputs {
  std::string payload;
  std::string budget;
  std::string schema;
  std::string predicate;
  std::vector<std::string> tools;
};
Inputs inputs;

// The evidence function's arguments beside the payload.
struct EvidenceArguments {
  std::string tenant_id, intent_id, payee_did, submitted_at;
  std::vector<std::string> artifacts_hex;
};
EvidenceArguments evidence_arguments;

unsigned char seed[32] = {7};
unsigned char pk[32], sk[64], sig[64];
unsigned sink = 0;

void keep(const Expected<Digest>& digest) { sink += digest ? digest.value()[0] : 1u; }
void keep(const Digest& digest) { sink += digest[0]; }

// CPU time of this thread, as run.py takes the calls': time the machine gave
// to other work is not counted.
double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <class Work>
double seconds(int iterations, Work work) {
  const double start = thread_seconds();
  for (int i = 0; i < iterations; ++i) work();
  return thread_seconds() - start;
}

}  // namespace

extern "C" {

// The JSON texts of the benchmark's calls; false when the tools are no array
// of strings or libsodium fails to start.
bool floor_prepare(const char* payload, const char* budget, const char* schema, const char* predicate,
                   const char* tools_json) {
  auto tools = encoding::read_json_string_array(tools_json);
  if (!tools || sodium_init() < 0) return false;
  inputs = {payload, budget, schema, predicate, std::move(tools).value()};
  return true;
}

// Evidence: one key, the payload and artifact digests, one signature over
// the 132-byte record.
double floor_evidence_seconds(int iterations) {
  static const std::vector<Digest> artifacts(3, Digest{});
  static const std::vector<unsigned char> record(132, 0x02);
  return seconds(iterations, [] {
    crypto_sign_seed_keypair(pk, sk, seed);
    keep(encoding::content_digest_of_json(inputs.payload));
    keep(encoding::artifact_list_digest(artifacts));
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });
}

// Intent: two keys, four digests, one signature over the record.
double floor_intent_seconds(int iterations) {
  static const std::vector<unsigned char> record(330, 0x06);
  return seconds(iterations, [] {
    crypto_sign_seed_keypair(pk, sk, seed);
    sodium_memzero(sk, sizeof sk);
    keep(encoding::content_digest_of_json(inputs.budget));
    keep(encoding::content_digest_of_json(inputs.schema));
    keep(encoding::content_digest_of_json(inputs.predicate));
    keep(encoding::allowed_tools_digest(inputs.tools));
    crypto_sign_seed_keypair(pk, sk, seed);
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });
}

// Verification of an ordinary signature over a 32-byte digest; negative if
// it fails to verify.
double floor_verify_seconds(int iterations) {
  static const unsigned char message[32] = {1};
  crypto_sign_seed_keypair(pk, sk, seed);
  crypto_sign_detached(sig, nullptr, message, sizeof message, sk);
  sodium_memzero(sk, sizeof sk);
  int valid = 0;
  const double elapsed =
      seconds(iterations, [&] { valid += crypto_sign_verify_detached(sig, message, sizeof message, pk) == 0; });
  return valid == iterations ? elapsed : -1;
}

// The evidence function's other arguments, artifacts as a JSON array of
// strings; false when they are not.
bool floor_prepare_evidence(const char* tenant_id, const char* intent_id, const char* payee_did,
                            const char* artifacts_json, const char* submitted_at) {
  auto artifacts = encoding::read_json_string_array(artifacts_json);
  if (!artifacts) return false;
  evidence_arguments = {tenant_id, intent_id, payee_did, submitted_at, std::move(artifacts).value()};
  return true;
}

// The whole evidence function, from C++: how much of a call beyond the floor
// is the function's own work (parsing, writing the body). Negative if it fails.
double evidence_function_seconds(int iterations) {
  const functions::EvidenceRequest request = {evidence_arguments.tenant_id, evidence_arguments.intent_id,
                                              evidence_arguments.payee_did, inputs.payload,
                                              evidence_arguments.artifacts_hex, evidence_arguments.submitted_at,
                                              {seed, sizeof seed}};
  bool failed = false;
  const double elapsed = seconds(iterations, [&] {
    auto body = functions::sign_payee_evidence_binding_json(request);
    if (body) sink += static_cast<unsigned char>(body->back());
    failed |= !body;
  });
  return failed ? -1 : elapsed;
}

// What the digests added up to, so that none of them can be left out.
unsigned floor_sink() { return sink; }

}  // extern "C"
