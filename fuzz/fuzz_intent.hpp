// The two create-intent targets: valid default arguments with fuzz-chosen
// fields replaced (see Fields), in parameter order: a tenant_id,
// b principal_seed, c payee_seed, d intent_id, e principal_did, f payee_did,
// g budget_json, h currency, i amount_cents, j evidence_schema_json,
// k deadline_rfc3339, l the predicate, m predicate_ref, n allowed_tools_json,
// o settlement_rail; for the policy binding also p policy_template_id,
// q policy_version_seq, r policy_content_digest_hex.
// Checks: no crash, no leak, the same outcome twice, and a document that
// checks as the service would check it, unless it holds a float the reader
// reads as its neighbour or is nested past the reader's limit by the values
// it carries: the only bodies that can never verify.
#pragma once

#include <cstdint>

#include "functions/body_check.hpp"
#include "functions/create_intent.hpp"
#include "fuzz_support.hpp"

namespace fuzz {

inline void check_create_intent(const std::uint8_t* data, std::size_t size, bool with_policy) {
  const Fields f(data, size, with_policy ? 18 : 15);
  const auto principal_seed = f.bytes(1, "principal-seed-0123456789abcdef!");
  const auto payee_seed = f.bytes(2, "payee-seed-0123456789abcdefghij!");
  const corvane::functions::CreateIntentRequest args{
      .tenant_id = f.text(0, "tenant-7"),
      .principal_seed = principal_seed,
      .payee = corvane::functions::PayeeSeed{payee_seed},
      .intent_id = f.text(3, " 123E4567-e89b-12d3-a456-426614174000\n"),
      .principal_did = f.text(4, "did:example:principal"),
      .payee_did = f.text(5, "did:example:payee"),
      .budget_json = f.text(6, R"({"max_cents": 5000, "currency": "USD"})"),
      .currency = f.text(7, "USD"),
      .amount_cents = static_cast<std::int64_t>(f.number(8, 1500)),
      .evidence_schema_json = f.text(9, R"({"type": "object", "required": ["receipt"]})"),
      .deadline_rfc3339 = f.text(10, "2030-01-02T03:04:05.5+01:00"),
      .predicate_json = f.text(11, R"({"all": [{"eq": ["status", "delivered"]}]})"),
      .predicate_ref = f.text(12, "pred-ref-1"),
      .allowed_tools_json = f.text(13, R"(["http.get", " Read ", "read"])"),
      .settlement_rail = f.text(14, " stripe_mpp\n"),
      .policy_template_id = f.text(15, "tmpl-42"),
      .policy_version_seq = static_cast<std::uint32_t>(f.number(16, 3)),
      .policy_content_digest_hex = f.text(17, "  d9cb3aa63b4607b8d963348de0720a537a9cce72870d4b0fd5ac3065e20a9208\n"),
  };
  const auto build = [&] {
    return with_policy ? corvane::functions::build_signed_create_intent_with_policy_binding_json(args)
                       : corvane::functions::build_signed_create_intent_json(args);
  };
  const auto result = build();
  require(same_outcome(result, build()), "building twice gives two outcomes");
  if (!result) return;
  const auto check = corvane::functions::check_create_intent(
      {*result, args.tenant_id, with_policy ? std::optional(args.policy_content_digest_hex) : std::nullopt,
       with_policy ? std::optional(args.predicate_json) : std::nullopt});
  require(check->reason.empty() || check->reason.find(" reads back as ") != std::string::npos ||
              check->reason.starts_with("body: recursion limit exceeded"),
          "a built body does not check", check->reason + "\n  " + *result);
}

}  // namespace fuzz
