// sign_payee_evidence_binding_json on native values: check the text inputs,
// have the evidence library bind and sign, write the submission document.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace corvane {

Outcome<std::string> sign_payee_evidence_binding_json(std::string_view tenant_id, std::string_view intent_id,
                                                      std::string_view payee_did, std::string_view payload_json,
                                                      const std::vector<std::string>& artifacts_hex,
                                                      std::string_view submitted_at_rfc3339,
                                                      std::span<const std::uint8_t> secret_seed);

}  // namespace corvane
