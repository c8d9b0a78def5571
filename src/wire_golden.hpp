// encode_evidence_sign_v1_hex: the EvidenceSignV1 bytes as hex, so that other
// implementations can compare their encoding with ours.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace corvane {

Outcome<std::string> encode_evidence_sign_v1_hex(std::string_view tenant_id, std::string_view intent_id,
                                                 std::string_view payee_did, std::string_view payload_json,
                                                 const std::vector<std::string>& artifacts_hex,
                                                 std::string_view submitted_at_rfc3339);

}  // namespace corvane
