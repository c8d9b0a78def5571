#include "evidence/evidence_record.hpp"

#include <utility>

#include "encoding/content_digest.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/signing_payload.hpp"

namespace corvane::evidence {
namespace {

Failure<Error> fault(std::string_view input, Error&& error) {
  error.kind = ErrorKind::runtime;
  error.input = input;
  return fail(std::move(error));
}

}  // namespace

Expected<EvidenceRecord> build_evidence_record(const EvidenceInputs& inputs) {
  auto hashes = decode_artifact_hashes(inputs.artifacts_hex);
  if (!hashes) return fail(std::move(hashes).error());
  auto submitted_at = encoding::parse_rfc3339(inputs.submitted_at_rfc3339);
  if (!submitted_at) return fault(kSubmittedAtInput, std::move(submitted_at).error());
  auto submitted_text = encoding::format_rfc3339(*submitted_at);
  if (!submitted_text) return fault(kSubmittedAtField, std::move(submitted_text).error());

  encoding::PayloadWriter payload;
  payload.tag(kEvidenceSignV1Tag);
  payload.text(inputs.tenant_id);
  payload.uuid(inputs.intent_id);
  payload.text(inputs.payee_did);
  payload.bytes32(inputs.payload_digest);
  payload.bytes32(encoding::artifact_list_digest(*hashes));
  // The timestamp kind is its canonical text written as text.
  payload.text(*submitted_text);
  return EvidenceRecord{
      .bytes = std::move(payload).take(),
      .artifact_hashes = std::move(hashes).value(),
      .submitted_at = std::move(submitted_text).value(),
  };
}

}  // namespace corvane::evidence
