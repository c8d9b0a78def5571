// The EvidenceSignV1 payload as the service rebuilds it from an evidence
// submission body.
#pragma once

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "encoding/json_value.hpp"
#include "functions/body_check.hpp"

namespace corvane::functions {

// Built by the evidence library's record builder from the tenant, the intent
// identifier (exactly as given) and the body's members. Checked in this
// order: intent_id, payee_did, payload, artifacts, submitted_at. A fault is an
// Error whose message is the reason.
Expected<ByteVector> rebuild_evidence_payload(const encoding::JsonValue& body,
                                              const EvidenceBodyCheckRequest& request);

}  // namespace corvane::functions
