#include "evidence_binding.hpp"

#include "encoding/canonical_json.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"
#include "payee.hpp"
#include "seed.hpp"

namespace corvane {
namespace {

// Members in their fixed order, not sorted.
std::string write_submission(const evidence::SignedEvidence& evidence) {
  // Sized at once: the payload can be most of it, and growing would copy it.
  constexpr std::size_t kMembersBesidesPayload = 512;
  std::string out;
  out.reserve(evidence.payload->text.size() + evidence.artifacts.size() * 67 + evidence.payee_did.size() +
              evidence.submitted_at.size() + kMembersBesidesPayload);
  out += "{\"payload\":";
  encoding::append_json(*evidence.payload, out);
  out += ",\"artifacts\":[";
  for (std::size_t i = 0; i < evidence.artifacts.size(); ++i) {
    if (i != 0) out += ',';
    encoding::append_json_string(evidence.artifacts[i], out);
  }
  out += "],\"payee_did\":";
  encoding::append_json_string(evidence.payee_did, out);
  out += ",\"payee_pubkey\":";
  encoding::append_json_string(evidence.payee_pubkey, out);
  out += ",\"payee_signature\":";
  encoding::append_json_string(evidence.payee_signature, out);
  out += ",\"submitted_at\":";
  encoding::append_json_string(evidence.submitted_at, out);
  out += '}';
  return out;
}

}  // namespace

Outcome<std::string> sign_payee_evidence_binding_json(std::string_view tenant_id, std::string_view intent_id,
                                                      std::string_view payee_did, std::string_view payload_json,
                                                      const std::vector<std::string>& artifacts_hex,
                                                      std::string_view submitted_at_rfc3339,
                                                      std::span<const std::uint8_t> secret_seed) {
  auto seed = checked_seed(secret_seed, "secret_seed");
  if (!seed) return value_error(std::move(seed).error());
  const SigningKey key(*seed);

  auto intent = encoding::parse_uuid(intent_id);
  if (!intent) return value_error("intent_id: " + intent.error());
  auto payload = encoding::read_canonical_json(payload_json);
  if (!payload) return value_error("payload_json: " + payload.error());
  auto submitted_at = encoding::parse_rfc3339(submitted_at_rfc3339);
  if (!submitted_at) return value_error("submitted_at_rfc3339: " + submitted_at.error());

  auto evidence = evidence::build_signed_evidence(
      {
          .tenant_id = tenant_id,
          .intent_id = *intent,
          .payee_did = payee_did,
          .payload = *payload,
          .artifacts_hex = artifacts_hex,
          .submitted_at = *submitted_at,
      },
      key);
  if (!evidence) return runtime_error(evidence.error().text());
  return write_submission(*evidence);
}

}  // namespace corvane
