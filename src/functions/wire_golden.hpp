// encode_evidence_sign_v1_hex: the EvidenceSignV1 bytes as hex, so that other
// implementations can compare their encoding with ours. The record itself is
// built by the evidence library, the same way it is for signing.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/expected.hpp"

namespace corvane::functions {

struct EncodeEvidenceRequest {
  std::string_view tenant_id;
  std::string_view intent_id;
  std::string_view payee_did;
  std::string_view payload_json;
  std::span<const std::string> artifacts_hex;
  std::string_view submitted_at_rfc3339;
};

// Checks payload_json (ValueError), then intent_id, the artifacts and the
// submission time (RuntimeError, as the record builder's failures).
Expected<std::string> encode_evidence_sign_v1_hex(const EncodeEvidenceRequest& request);

}  // namespace corvane::functions
