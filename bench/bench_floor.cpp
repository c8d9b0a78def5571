// The floor of each function: its libsodium and BLAKE3 work alone, called
// from C++: key derivation and signing, BLAKE3 over the very canonical texts
// the call hashes (given, not read here), and verification of the very
// signature the call verifies, whose cost depends on its bytes. Reading the
// JSON is ours, so it is no part of a floor; json_*_seconds time it apart.
// bench/run.py loads this as a shared library and times each function against
// its floor in alternation, so that both see the same machine. Beside the
// floors, the whole evidence function on the same inputs, still from C++, for
// the batch rows.
#include <sodium.h>

#include <ctime>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "blake3.h"
#include "encoding/canonical_json.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"
#include "functions/evidence_binding.hpp"

namespace {

using namespace corvane;

// The JSON inputs of the calls, in the order of floor_prepare: the evidence
// payload, then the intent's budget, schema and predicate.
constexpr int kDocuments = 4;
std::string json_texts[kDocuments];
std::string canonical_texts[kDocuments];
std::string tools_canonical_text;
unsigned char verify_message[32], verify_signature[64], verify_key[32];

// The evidence function's arguments beside the payload.
struct EvidenceArguments {
  std::string tenant_id, intent_id, payee_did, submitted_at;
  std::vector<std::string> artifacts_hex;
};
EvidenceArguments evidence_arguments;

unsigned char seed[32] = {7};
unsigned char pk[32], sk[64], sig[64];
unsigned sink = 0;

void blake3(const void* bytes, std::size_t size) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, bytes, size);
  unsigned char digest[32];
  blake3_hasher_finalize(&hasher, digest, sizeof digest);
  sink += digest[0];
}
void blake3(const std::string& text) { blake3(text.data(), text.size()); }

Digest blake3_digest(const std::string& text) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, text.data(), text.size());
  Digest digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return digest;
}

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

// The calls' JSON texts and the canonical texts of their values (written by
// the Python reference), the tools' JSON and the canonical text of the
// allowed-tools array, and the digest, signature and key that the verifying
// call takes. False when a canonical text is not the one the library hashes
// (so that the floor hashes exactly the call's bytes) or libsodium fails to
// start.
bool floor_prepare(const char* const* texts, const char* const* canonical, const char* tools_json,
                   const char* tools_canonical, const unsigned char* message, const unsigned char* signature,
                   const unsigned char* key) {
  if (sodium_init() < 0) return false;
  for (int i = 0; i < kDocuments; ++i) {
    json_texts[i] = texts[i];
    canonical_texts[i] = canonical[i];
    const auto digest = encoding::content_digest_of_json(json_texts[i]);
    if (!digest || *digest != blake3_digest(canonical_texts[i])) return false;
  }
  tools_canonical_text = tools_canonical;
  const auto tools = encoding::read_json_string_array(tools_json);
  if (!tools || encoding::allowed_tools_digest(*tools) != blake3_digest(tools_canonical_text)) return false;
  std::memcpy(verify_message, message, sizeof verify_message);
  std::memcpy(verify_signature, signature, sizeof verify_signature);
  std::memcpy(verify_key, key, sizeof verify_key);
  return true;
}

// Evidence: one key, BLAKE3 of the payload's canonical text and of three
// artifact hashes, one signature over the 132-byte record.
double floor_evidence_seconds(int iterations) {
  static const unsigned char artifacts[3 * 32] = {};
  static const std::vector<unsigned char> record(132, 0x02);
  return seconds(iterations, [] {
    crypto_sign_seed_keypair(pk, sk, seed);
    blake3(canonical_texts[0]);
    blake3(artifacts, sizeof artifacts);
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });
}

// Intent: two keys, BLAKE3 of four canonical texts, one signature over the
// record.
double floor_intent_seconds(int iterations) {
  static const std::vector<unsigned char> record(330, 0x06);
  return seconds(iterations, [] {
    crypto_sign_seed_keypair(pk, sk, seed);
    sodium_memzero(sk, sizeof sk);
    for (int i = 1; i < kDocuments; ++i) blake3(canonical_texts[i]);
    blake3(tools_canonical_text);
    crypto_sign_seed_keypair(pk, sk, seed);
    crypto_sign_detached(sig, nullptr, record.data(), record.size(), sk);
    sodium_memzero(sk, sizeof sk);
  });
}

// Verification of the call's own signature; negative if it fails to verify.
double floor_verify_seconds(int iterations) {
  int valid = 0;
  const double elapsed = seconds(iterations, [&] {
    valid += crypto_sign_verify_detached(verify_signature, verify_message, sizeof verify_message, verify_key) == 0;
  });
  return valid == iterations ? elapsed : -1;
}

// Ours, for the record: reading the JSON inputs of each signing call into
// canonical text, the one work the calls add to their floor besides the
// Python call and the returned document.
double json_evidence_seconds(int iterations) {
  static std::string out;
  return seconds(iterations, [] {
    out.clear();
    sink += encoding::append_canonical_json(json_texts[0], out).ok();
  });
}
double json_intent_seconds(int iterations) {
  static std::string out;
  return seconds(iterations, [] {
    for (int i = 1; i < kDocuments; ++i) {
      out.clear();
      sink += encoding::append_canonical_json(json_texts[i], out).ok();
    }
  });
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
                                              evidence_arguments.payee_did, json_texts[0],
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
