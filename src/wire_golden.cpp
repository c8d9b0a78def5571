#include "wire_golden.hpp"

#include "artifact_hash.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/hex.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/signing_payload.hpp"
#include "encoding/uuid.hpp"
#include "evidence_record.hpp"

namespace corvane {

Outcome<std::string> encode_evidence_sign_v1_hex(std::string_view tenant_id, std::string_view intent_id,
                                                 std::string_view payee_did, std::string_view payload_json,
                                                 const std::vector<std::string>& artifacts_hex,
                                                 std::string_view submitted_at_rfc3339) {
  // Only the payload check raises ValueError here; every later failure is the
  // record builder's and raises RuntimeError.
  auto payload_digest = encoding::content_digest_of_json(payload_json);
  if (!payload_digest) return value_error("payload_json: " + payload_digest.error());
  auto intent = encoding::parse_uuid(intent_id);
  if (!intent) return runtime_error("intent_id: " + intent.error());

  auto hashes = evidence::decode_artifact_hashes(artifacts_hex);
  if (!hashes) {
    return runtime_error("artifacts_hex[" + std::to_string(hashes.error().index) + "]: " + hashes.error().reason);
  }

  auto submitted_at = encoding::parse_rfc3339(submitted_at_rfc3339);
  if (!submitted_at) return runtime_error("submitted_at_rfc3339: " + submitted_at.error());
  encoding::Rfc3339Buffer buffer;
  auto submitted_text = encoding::write_rfc3339(*submitted_at, buffer);
  if (!submitted_text) {
    return runtime_error("bincode evidence sign payload: " + encoding::encoding_error_text(submitted_text.error()));
  }

  const ByteVector record = evidence::encode_evidence_sign_v1({
      .tenant_id = tenant_id,
      .intent_id = *intent,
      .payee_did = payee_did,
      .payload_digest = *payload_digest,
      .artifact_digest = encoding::artifact_list_digest(*hashes),
      .submitted_at = *submitted_text,
  });
  return encoding::encode_hex(record);
}

}  // namespace corvane
