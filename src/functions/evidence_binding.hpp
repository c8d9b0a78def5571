// sign_payee_evidence_binding_json on native values: check the text inputs,
// have the evidence library build and sign the record, write the submission
// document.
#pragma once

#include <string>

#include "base/expected.hpp"
#include "functions/evidence_request.hpp"

namespace corvane::functions {

// Checks the seed, intent_id, payload_json and submitted_at_rfc3339
// (ValueError), then the artifacts (RuntimeError, the evidence library's).
Expected<std::string> sign_payee_evidence_binding_json(const EvidenceRequest& request);

}  // namespace corvane::functions
