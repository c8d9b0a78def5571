#include "evidence/payee.hpp"

#include <utility>

namespace corvane::evidence {

Expected<SignedEvidence> build_signed_evidence(const EvidenceInputs& inputs, const crypto::SigningKey& key) {
  auto record = build_evidence_record(inputs);
  if (!record) return fail(std::move(record).error());
  const crypto::Signature signature = key.sign(record->bytes);
  return SignedEvidence{
      .record = std::move(record).value(),
      .payee_pubkey = key.public_key(),
      .payee_signature = signature,
  };
}

}  // namespace corvane::evidence
