// The payee's side of evidence submission: binds the evidence to the intent
// and tenant by signing its EvidenceSignV1 record.
#pragma once

#include "base/expected.hpp"
#include "crypto/signing_key.hpp"
#include "evidence/evidence_record.hpp"

namespace corvane::evidence {

struct SignedEvidence {
  EvidenceRecord record;
  crypto::PublicKey payee_pubkey;
  crypto::Signature payee_signature;  // over the record bytes themselves
};

// Builds the record (faults as build_evidence_record reports them) and signs
// its bytes with the payee's key.
Expected<SignedEvidence> build_signed_evidence(const EvidenceInputs& inputs, const crypto::SigningKey& key);

}  // namespace corvane::evidence
