// encode_evidence_sign_v1_hex: the EvidenceSignV1 bytes as hex, so that other
// implementations can compare their encoding with ours. The record itself is
// built by the evidence library, the same way it is for signing.
#pragma once

#include <string>

#include "base/expected.hpp"
#include "functions/evidence_request.hpp"

namespace corvane::functions {

// Checks payload_json (ValueError), then intent_id, the artifacts and the
// submission time (RuntimeError, as the record builder's failures). The
// request's seed is not used.
Expected<std::string> encode_evidence_sign_v1_hex(const EvidenceRequest& request);

}  // namespace corvane::functions
