// sign_payee_evidence_binding_json on native values: check the text inputs,
// have the evidence library build and sign the record, write the submission
// document.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/expected.hpp"

namespace corvane::functions {

struct SignEvidenceRequest {
  std::string_view tenant_id;
  std::string_view intent_id;
  std::string_view payee_did;
  std::string_view payload_json;
  std::span<const std::string> artifacts_hex;
  std::string_view submitted_at_rfc3339;
  std::span<const std::uint8_t> secret_seed;
};

// Checks the seed, intent_id, payload_json and submitted_at_rfc3339
// (ValueError), then the artifacts (RuntimeError, the evidence library's).
Expected<std::string> sign_payee_evidence_binding_json(const SignEvidenceRequest& request);

}  // namespace corvane::functions
