#include "create_intent.hpp"

#include <array>
#include <optional>
#include <vector>

#include "create_intent_document.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/trim.hpp"
#include "encoding/uuid.hpp"
#include "intent_payload.hpp"
#include "seed.hpp"
#include "signing_key.hpp"

namespace corvane {
namespace {

constexpr std::array<std::string_view, 5> kSettlementRails = {
    "stripe_connect", "stripe_ach_debit", "stripe_mpp", "adyen_manual_capture", "x402_usdc_base"};

// Every input of a create-intent call, checked and parsed.
struct CheckedIntent {
  Seed principal_seed;
  Seed payee_seed;
  encoding::Uuid intent_id;
  // The JSON inputs as their canonical text, all that the digests and the
  // document need of them.
  encoding::CanonicalJson budget;
  encoding::CanonicalJson evidence_schema;
  encoding::CanonicalJson predicate;
  std::vector<std::string> allowed_tools;
  std::string_view settlement_rail;
  encoding::Timestamp deadline;
};

// The checks, in the order callers rely on: the first failure is reported.
Outcome<CheckedIntent> check_inputs(const CreateIntentArgs& args, std::string_view predicate_parameter) {
  auto principal_seed = checked_seed(args.principal_seed, "principal_seed");
  if (!principal_seed) return value_error(std::move(principal_seed).error());
  auto payee_seed = checked_seed(args.payee_seed, "payee_seed");
  if (!payee_seed) return value_error(std::move(payee_seed).error());

  auto intent_id = encoding::parse_uuid(encoding::trim_white_space(args.intent_id));
  if (!intent_id) return value_error("intent_id: " + intent_id.error());
  auto budget = encoding::read_canonical_json(args.budget_json);
  if (!budget) return value_error("budget_json: " + budget.error());
  auto evidence_schema = encoding::read_canonical_json(args.evidence_schema_json);
  if (!evidence_schema) return value_error("evidence_schema_json: " + evidence_schema.error());
  auto predicate = encoding::read_canonical_json(args.predicate_json);
  if (!predicate) return value_error(std::string(predicate_parameter) + ": " + predicate.error());

  auto allowed_tools = encoding::read_json_string_array(args.allowed_tools_json);
  if (!allowed_tools) return value_error("allowed_tools_json must be a JSON array of strings: " + allowed_tools.error());
  if (allowed_tools->empty()) return value_error("allowed_tools must be non-empty");

  const std::string_view rail = encoding::trim_white_space(args.settlement_rail);
  if (std::find(kSettlementRails.begin(), kSettlementRails.end(), rail) == kSettlementRails.end()) {
    return value_error(
        "settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture, "
        "x402_usdc_base");
  }

  auto deadline = encoding::parse_rfc3339(args.deadline_rfc3339);
  if (!deadline) return value_error("deadline_rfc3339: " + deadline.error());

  return CheckedIntent{
      .principal_seed = *principal_seed,
      .payee_seed = *payee_seed,
      .intent_id = *intent_id,
      .budget = std::move(budget).value(),
      .evidence_schema = std::move(evidence_schema).value(),
      .predicate = std::move(predicate).value(),
      .allowed_tools = std::move(allowed_tools).value(),
      .settlement_rail = rail,
      .deadline = *deadline,
  };
}

// The document leaves out a reference that is blank after trimming, so the
// service can only rebuild the record with an empty one; signing the blank
// text as given would make a body whose signature never verifies.
std::string_view signed_predicate_ref(std::string_view predicate_ref) {
  return encoding::trim_white_space(predicate_ref).empty() ? std::string_view() : predicate_ref;
}

// Derives the keys, has `build_payload` make the record, signs it with the
// principal's key and writes the document. Both keys wipe themselves on
// every path out of here.
template <class BuildPayload>
Outcome<std::string> sign_intent(const CreateIntentArgs& args, const CheckedIntent& intent, int signing_version,
                                 BuildPayload build_payload, std::optional<PolicyBinding> policy_binding) {
  const SigningKey payee_key(intent.payee_seed);
  const IntentTerms terms{
      .tenant_id = args.tenant_id,
      .intent_id = intent.intent_id,
      .principal_did = args.principal_did,
      .payee_did = args.payee_did,
      .amount_cents = args.amount_cents,
      .currency = args.currency,
      .deadline = intent.deadline,
      .budget = intent.budget,
      .evidence_schema = intent.evidence_schema,
      .predicate = intent.predicate,
      .predicate_ref = signed_predicate_ref(args.predicate_ref),
      .allowed_tools = intent.allowed_tools,
      .settlement_rail = intent.settlement_rail,
      .payee_pubkey = payee_key.public_key(),
  };
  auto payload = build_payload(terms);
  if (!payload) return value_error(std::move(payload).error());

  const SigningKey principal_key(intent.principal_seed);
  const Signature signature = principal_key.sign(*payload);
  return write_create_intent_document({
      .allowed_tools = intent.allowed_tools,
      .amount_cents = args.amount_cents,
      .budget = intent.budget,
      .currency = args.currency,
      .deadline = args.deadline_rfc3339,
      .evidence_schema = intent.evidence_schema,
      .intent_id = intent.intent_id,
      .payee_did = args.payee_did,
      .payee_pubkey = payee_key.public_key(),
      .policy_binding = policy_binding,
      // The policy-bound document carries the materialized predicate only
      // through the signed digest.
      .predicate_dsl = policy_binding ? nullptr : &intent.predicate,
      .predicate_ref = args.predicate_ref,
      .principal_did = args.principal_did,
      .principal_pubkey = principal_key.public_key(),
      .principal_signature = signature,
      .settlement_rail = intent.settlement_rail,
      .signing_version = signing_version,
  });
}

}  // namespace

Outcome<std::string> build_signed_create_intent_json(const CreateIntentArgs& args) {
  auto intent = check_inputs(args, "predicate_json");
  if (!intent) return fail(std::move(intent).error());
  return sign_intent(args, *intent, 6, build_intent_sign_v6, std::nullopt);
}

Outcome<std::string> build_signed_create_intent_with_policy_binding_json(const CreateIntentArgs& args,
                                                                         const PolicyHead& policy) {
  auto intent = check_inputs(args, "materialized_predicate_json");
  if (!intent) return fail(std::move(intent).error());
  return sign_intent(
      args, *intent, 7,
      [&](const IntentTerms& terms) {
        return build_intent_sign_v7(terms, policy.template_id, policy.version_seq, policy.content_digest_hex);
      },
      PolicyBinding{policy.template_id, policy.version_seq});
}

}  // namespace corvane
