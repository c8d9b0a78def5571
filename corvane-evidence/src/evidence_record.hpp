// The EvidenceSignV1 signing payload: the bytes a payee signs when it submits
// evidence against an intent. Built here only, for signing and for the wire
// golden alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "encoding/uuid.hpp"
#include "evidence/artifact_hash.hpp"

namespace corvane::evidence {

// The tag byte is 2, not 1: the record's first layout was retired.
inline constexpr std::uint8_t kEvidenceSignV1Tag = 2;

// What a fault of the record builder is about (Error::input): kArtifactsInput
// with the element's index, or one of these. Each caller words it by its own
// table.
inline constexpr std::string_view kSubmittedAtInput = "submitted_at_rfc3339";  // the text does not parse
inline constexpr std::string_view kSubmittedAtField = "submitted_at";          // the time cannot be written

struct EvidenceInputs {
  std::string_view tenant_id;
  encoding::Uuid intent_id;
  std::string_view payee_did;
  Digest payload_digest;  // the content digest of the payload document
  std::span<const std::string> artifacts_hex;
  std::string_view submitted_at_rfc3339;  // parsed here, exactly as given
};

// The record and the values a submission document shows beside it.
struct EvidenceRecord {
  ByteVector bytes;
  std::vector<Digest> artifact_hashes;  // decoded, in input order
  std::string submitted_at;             // canonical RFC 3339 text
};

// Decodes the artifacts, then parses the submission time, then digests the
// artifacts and encodes the record. The first failure is a
// RuntimeError fault naming its input; the message is the reason alone.
Expected<EvidenceRecord> build_evidence_record(const EvidenceInputs& inputs);

}  // namespace corvane::evidence
