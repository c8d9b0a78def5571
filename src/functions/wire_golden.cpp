#include "functions/wire_golden.hpp"

#include "encoding/hex.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/signing_payload.hpp"
#include "encoding/uuid.hpp"
#include "evidence/evidence_record.hpp"

namespace corvane::functions {
namespace {

// The record builder's fault in this function's words: where it is, except
// for a time that cannot be written, which fails as its encoding.
Failure<Error> reworded(const Error& fault) {
  if (fault.input == evidence::kSubmittedAtField) {
    return runtime_error("bincode evidence sign payload: " + encoding::encoding_error_text(fault.message));
  }
  return runtime_error(fault.located_message());
}

}  // namespace

Expected<std::string> encode_evidence_sign_v1_hex(const EvidenceRequest& request) {
  auto payload_digest = encoding::content_digest_of_json(request.payload_json);
  if (!payload_digest) return value_error("payload_json: " + payload_digest.error().message);
  auto intent = encoding::parse_uuid(request.intent_id);
  if (!intent) return runtime_error("intent_id: " + intent.error().message);

  auto record = evidence::build_evidence_record(record_inputs(request, *intent, *payload_digest));
  if (!record) return reworded(record.error());
  return encoding::encode_hex(record->bytes);
}

}  // namespace corvane::functions
