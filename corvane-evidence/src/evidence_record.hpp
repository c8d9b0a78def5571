// The EvidenceSignV1 signing payload: the bytes a payee signs when it submits
// evidence against an intent.
#pragma once

#include <string_view>

#include "encoding/bytes.hpp"
#include "encoding/uuid.hpp"

namespace corvane::evidence {

// The tag byte is 2, not 1: the record's first layout was retired.
inline constexpr std::uint8_t kEvidenceSignV1Tag = 2;

struct EvidenceRecord {
  std::string_view tenant_id;
  encoding::Uuid intent_id;
  std::string_view payee_did;
  Digest payload_digest;
  Digest artifact_digest;
  std::string_view submitted_at;  // the canonical RFC 3339 text of the submission time
};

ByteVector encode_evidence_sign_v1(const EvidenceRecord& record);

}  // namespace corvane::evidence
