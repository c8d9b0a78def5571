#include "evidence_record.hpp"

#include <utility>

#include "encoding/signing_payload.hpp"

namespace corvane::evidence {

ByteVector encode_evidence_sign_v1(const EvidenceRecord& record) {
  encoding::PayloadWriter payload;
  payload.tag(kEvidenceSignV1Tag);
  payload.text(record.tenant_id);
  payload.uuid(record.intent_id);
  payload.text(record.payee_did);
  payload.bytes32(record.payload_digest);
  payload.bytes32(record.artifact_digest);
  // The timestamp kind is its canonical text written as text.
  payload.text(record.submitted_at);
  return std::move(payload).take();
}

}  // namespace corvane::evidence
