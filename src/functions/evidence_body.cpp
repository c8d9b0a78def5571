#include "functions/evidence_body.hpp"

#include <string>
#include <utility>

#include "encoding/content_digest.hpp"
#include "encoding/uuid.hpp"
#include "evidence/evidence_record.hpp"
#include "functions/body_members.hpp"

namespace corvane::functions {

Expected<ByteVector> rebuild_evidence_payload(const encoding::JsonValue& body,
                                              const EvidenceBodyCheckRequest& request) {
  const auto intent_id = encoding::parse_uuid(request.intent_id);
  if (!intent_id) return fail(Error("intent_id: " + intent_id.error().message));
  BodyMembers m(body);
  const std::string_view payee_did = m.text("payee_did");
  const encoding::JsonValue& payload = m.any("payload");
  const std::vector<std::string> artifacts = m.texts("artifacts");
  const std::string_view submitted_at = m.text("submitted_at");
  if (m.first_fault()) return fail(*m.first_fault());

  auto record = evidence::build_evidence_record({
      .tenant_id = request.tenant_id,
      .intent_id = *intent_id,
      .payee_did = payee_did,
      .payload_digest = encoding::content_digest(payload),
      .artifacts_hex = artifacts,
      .submitted_at_rfc3339 = submitted_at,
  });
  if (!record) {
    // The builder's fault, named by the body's member.
    const Error& fault = record.error();
    const std::string member = fault.input == evidence::kArtifactsInput
                                   ? "artifacts[" + std::to_string(fault.index.value_or(0)) + "]"
                                   : "submitted_at";
    return fail(Error(member + ": " + fault.message));
  }
  return std::move(record->bytes);
}

}  // namespace corvane::functions
