// Checking a request body as the service does: rebuild the signing payload
// from the body itself (and what the body leaves to the path or the policy),
// then verify the body's signature over it by the lenient rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/bytes.hpp"
#include "base/expected.hpp"

namespace corvane::functions {

// The outcome: verified when `reason` is empty. `payload` holds the rebuilt
// signing payload whenever the body got that far, also when its signature
// then fails. A reason names the member (or argument) first.
struct BodyCheck {
  std::optional<ByteVector> payload;
  std::string reason;
};

// A CreateIntentRequest body. The policy digest (hex, trimmed) and the
// materialized predicate (JSON text) are what a signing_version 7 body does
// not carry; a version 6 body takes neither.
struct IntentBodyCheckRequest {
  std::string_view body;
  std::string_view tenant_id;
  std::optional<std::string_view> policy_content_digest = {};
  std::optional<std::string_view> materialized_predicate_json = {};
};

// An evidence submission body; the intent is named by the request path, so
// its identifier is given here, and used exactly as given.
struct EvidenceBodyCheckRequest {
  std::string_view body;
  std::string_view tenant_id;
  std::string_view intent_id;
};

// Never an error: every fault of the body or the arguments is a reason.
Expected<BodyCheck> check_create_intent(const IntentBodyCheckRequest& request);
Expected<BodyCheck> check_evidence(const EvidenceBodyCheckRequest& request);

}  // namespace corvane::functions
