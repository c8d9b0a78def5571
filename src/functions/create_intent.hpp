// The two create-intent functions on native values: check the inputs in
// their fixed order, sign the intent payload, write the request document.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/expected.hpp"
#include "functions/intent_payee.hpp"

namespace corvane::functions {

// The arguments of both functions, in parameter order. The policy-bound one
// has its materialized predicate in the twelfth place and the policy head
// after the rail; the plain one leaves the head empty. The payee is named by
// its seed or by its public key; the body is the same for the same key.
struct CreateIntentRequest {
  std::string_view tenant_id;
  std::span<const std::uint8_t> principal_seed;
  Payee payee;
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
  std::string_view policy_template_id = {};
  std::uint32_t policy_version_seq = 0;
  std::string_view policy_content_digest_hex = {};
};

// Every failure is a ValueError except one to write the document.
Expected<std::string> build_signed_create_intent_json(const CreateIntentRequest& request);
Expected<std::string> build_signed_create_intent_with_policy_binding_json(const CreateIntentRequest& request);

}  // namespace corvane::functions
