#include "payee.hpp"

#include "artifact_hash.hpp"
#include "encoding/base64.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/hex.hpp"
#include "evidence_record.hpp"

namespace corvane::evidence {

std::string EvidenceError::text() const {
  switch (kind_) {
    case Kind::artifact:
      return "artifact[" + std::to_string(index_) + "]: " + message_;
    case Kind::signing_payload:
      return "evidence signing payload: " + message_;
    case Kind::submission_time:
      return "submitted_at: " + message_;
  }
  return message_;
}

Expected<SignedEvidence, EvidenceError> build_signed_evidence(const EvidenceInputs& inputs, const SigningKey& key) {
  auto decoded = decode_artifact_hashes(inputs.artifacts_hex);
  if (!decoded) return fail(EvidenceError::artifact(decoded.error().index, "artifact: " + decoded.error().reason));
  const std::vector<Digest>& hashes = *decoded;

  auto submitted_at = encoding::format_rfc3339(inputs.submitted_at);
  if (!submitted_at) return fail(EvidenceError::submission_time(std::move(submitted_at).error()));

  const ByteVector record = encode_evidence_sign_v1({
      .tenant_id = inputs.tenant_id,
      .intent_id = inputs.intent_id,
      .payee_did = inputs.payee_did,
      .payload_digest = encoding::content_digest(inputs.payload),
      .artifact_digest = encoding::artifact_list_digest(hashes),
      .submitted_at = *submitted_at,
  });
  const Signature signature = key.sign(record);

  SignedEvidence signed_evidence{
      .payload = &inputs.payload,
      .artifacts = {},
      .payee_did = inputs.payee_did,
      .payee_pubkey = encoding::encode_base64(key.public_key()),
      .payee_signature = encoding::encode_base64(signature),
      .submitted_at = std::move(submitted_at).value(),
  };
  signed_evidence.artifacts.reserve(hashes.size());
  for (const Digest& hash : hashes) signed_evidence.artifacts.push_back(encoding::encode_hex(hash));
  return signed_evidence;
}

}  // namespace corvane::evidence
