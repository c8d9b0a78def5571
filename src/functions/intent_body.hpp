// The intent signing payload as the service rebuilds it from a
// CreateIntentRequest body.
#pragma once

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "encoding/json_value.hpp"
#include "functions/body_check.hpp"

namespace corvane::functions {

// IntentSignV6 or IntentSignV7 by the body's signing_version, built by the
// builders' own payload code from the body's members, the tenant and, for
// version 7, the policy digest and materialized predicate of the request.
// Checked in this order: signing_version; whether policy_binding and
// predicate_dsl fit it; the request's policy digest and predicate; then the
// members in the record's field order. A fault is an Error whose message is
// the reason.
Expected<ByteVector> rebuild_intent_payload(const encoding::JsonValue& body, const IntentBodyCheckRequest& request);

}  // namespace corvane::functions
