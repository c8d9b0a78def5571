#include "functions/wire_golden.hpp"

#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/signing_payload.hpp"
#include "encoding/uuid.hpp"
#include "evidence/evidence_record.hpp"

namespace corvane::functions {
namespace {

// The record builder's fault in this function's words.
Failure<Error> reworded(const Error& fault) {
  if (fault.input == evidence::kArtifactsInput) {
    return runtime_error("artifacts_hex[" + std::to_string(fault.index) + "]: " + fault.message);
  }
  if (fault.input == evidence::kSubmittedAtInput) return runtime_error("submitted_at_rfc3339: " + fault.message);
  return runtime_error("bincode evidence sign payload: " + encoding::encoding_error_text(fault.message));
}

}  // namespace

Expected<std::string> encode_evidence_sign_v1_hex(const EncodeEvidenceRequest& request) {
  auto payload = encoding::read_json(request.payload_json);
  if (!payload) return value_error("payload_json: " + payload.error().message);
  auto intent = encoding::parse_uuid(request.intent_id);
  if (!intent) return runtime_error("intent_id: " + intent.error().message);

  auto record = evidence::build_evidence_record({
      .tenant_id = request.tenant_id,
      .intent_id = *intent,
      .payee_did = request.payee_did,
      .payload = *payload,
      .artifacts_hex = request.artifacts_hex,
      .submitted_at_rfc3339 = request.submitted_at_rfc3339,
  });
  if (!record) return reworded(record.error());
  return encoding::encode_hex(record->bytes);
}

}  // namespace corvane::functions
