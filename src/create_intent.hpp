// The two create-intent functions on native values: check the inputs in
// their fixed order, sign the intent payload, write the request document.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "error.hpp"

namespace corvane {

// The fifteen arguments both functions share, in parameter order. For the
// policy-bound intent, `predicate_json` holds the materialized predicate.
struct CreateIntentArgs {
  std::string_view tenant_id;
  std::span<const std::uint8_t> principal_seed;
  std::span<const std::uint8_t> payee_seed;
  std::string_view intent_id;
  std::string_view principal_did;
  std::string_view payee_did;
  std::string_view budget_json;
  std::string_view currency;
  std::int64_t amount_cents;
  std::string_view evidence_schema_json;
  std::string_view deadline_rfc3339;
  std::string_view predicate_json;
  std::string_view predicate_ref;
  std::string_view allowed_tools_json;
  std::string_view settlement_rail;
};

// The published managed-policy head an intent can be bound to.
struct PolicyHead {
  std::string_view template_id;
  std::uint32_t version_seq;
  std::string_view content_digest_hex;
};

Outcome<std::string> build_signed_create_intent_json(const CreateIntentArgs& args);
Outcome<std::string> build_signed_create_intent_with_policy_binding_json(const CreateIntentArgs& args,
                                                                         const PolicyHead& policy);

}  // namespace corvane
