#include "functions/evidence_binding.hpp"

#include "crypto/seed.hpp"
#include "crypto/signing_key.hpp"
#include "encoding/base64.hpp"
#include "encoding/hex.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"
#include "evidence/payee.hpp"

namespace corvane::functions {
namespace {

// The evidence library's fault in this function's words. The submission
// time is parsed before the library sees it, so its fault is the one that
// check raises.
Failure<Error> reworded(const Error& fault) {
  if (fault.input == evidence::kArtifactsInput) {
    return runtime_error("artifact[" + std::to_string(*fault.index) + "]: artifact: " + fault.message);
  }
  return fail(Error(fault.located_message(),
                    fault.input == evidence::kSubmittedAtInput ? ErrorKind::value : ErrorKind::runtime));
}

// Members in their fixed order, not sorted.
std::string write_submission(const encoding::CanonicalJson& payload, std::string_view payee_did,
                             const evidence::SignedEvidence& evidence) {
  // Sized at once: the payload can be most of it, and growing would copy it.
  constexpr std::size_t kMembersBesidesPayload = 512;
  const auto& hashes = evidence.record.artifact_hashes;
  std::string out;
  out.reserve(payload.text.size() + hashes.size() * 67 + payee_did.size() + kMembersBesidesPayload);
  out += "{\"payload\":";
  encoding::append_json(payload, out);
  out += ",\"artifacts\":[";
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    out += i == 0 ? "\"" : ",\"";
    encoding::append_hex(hashes[i], out);
    out += '"';
  }
  out += "],\"payee_did\":";
  encoding::append_json_string(payee_did, out);
  out += ",\"payee_pubkey\":\"";
  encoding::append_base64(evidence.payee_pubkey, out);
  out += "\",\"payee_signature\":\"";
  encoding::append_base64(evidence.payee_signature, out);
  out += "\",\"submitted_at\":";
  encoding::append_json_string(evidence.record.submitted_at, out);
  out += '}';
  return out;
}

}  // namespace

Expected<std::string> sign_payee_evidence_binding_json(const EvidenceRequest& request) {
  auto seed = crypto::checked_seed(request.secret_seed, "secret_seed");
  if (!seed) return fail(std::move(seed).error());
  const crypto::SigningKey key(*seed);

  auto intent = encoding::parse_uuid(request.intent_id);
  if (!intent) return value_error("intent_id: " + intent.error().message);
  auto payload = encoding::read_canonical_json(request.payload_json);
  if (!payload) return value_error("payload_json: " + payload.error().message);
  // The record builder parses the time after the artifacts; this function
  // reports a bad time first.
  if (auto submitted_at = encoding::parse_rfc3339(request.submitted_at_rfc3339); !submitted_at) {
    return value_error("submitted_at_rfc3339: " + submitted_at.error().message);
  }

  auto evidence =
      evidence::build_signed_evidence(record_inputs(request, *intent, encoding::content_digest(*payload)), key);
  if (!evidence) return reworded(evidence.error());
  return write_submission(*payload, request.payee_did, *evidence);
}

}  // namespace corvane::functions
