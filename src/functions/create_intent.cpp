#include "functions/create_intent.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "crypto/seed.hpp"
#include "crypto/signing_key.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/trim.hpp"
#include "encoding/uuid.hpp"
#include "functions/intent_document.hpp"
#include "functions/intent_payload.hpp"
#include "functions/intent_terms.hpp"

namespace corvane::functions {
namespace {

// A reference that is blank after trimming is signed as the empty text: the
// document leaves it out, so the service can only rebuild the record with an
// empty one, and signing the blank text would make a body that never verifies.
std::string_view signed_predicate_ref(std::string_view predicate_ref) {
  return encoding::trim_white_space(predicate_ref).empty() ? std::string_view() : predicate_ref;
}

// The checks both functions share, in the order callers rely on: the first
// failure is reported. `predicate_parameter` names the twelfth parameter.
Expected<CheckedIntent> check_intent(const CreateIntentRequest& r, std::string_view predicate_parameter) {
  auto principal_seed = crypto::checked_seed(r.principal_seed, "principal_seed");
  if (!principal_seed) return fail(std::move(principal_seed).error());
  auto payee_key = checked_payee_key(r.payee);
  if (!payee_key) return fail(std::move(payee_key).error());

  auto intent_id = encoding::parse_uuid(encoding::trim_white_space(r.intent_id));
  if (!intent_id) return value_error("intent_id: " + intent_id.error().message);
  auto budget = encoding::read_canonical_json(r.budget_json);
  if (!budget) return value_error("budget_json: " + budget.error().message);
  auto evidence_schema = encoding::read_canonical_json(r.evidence_schema_json);
  if (!evidence_schema) return value_error("evidence_schema_json: " + evidence_schema.error().message);
  auto predicate = encoding::read_canonical_json(r.predicate_json);
  if (!predicate) return value_error(std::string(predicate_parameter) + ": " + predicate.error().message);

  auto allowed_tools = encoding::read_json_string_array(r.allowed_tools_json);
  if (!allowed_tools) {
    return value_error("allowed_tools_json must be a JSON array of strings: " + allowed_tools.error().message);
  }
  if (allowed_tools->empty()) return value_error("allowed_tools must be non-empty");

  const std::string_view rail = encoding::trim_white_space(r.settlement_rail);
  if (!is_settlement_rail(rail)) {
    return value_error("settlement_rail must be one of " + std::string(kSettlementRailList));
  }

  auto deadline = encoding::parse_rfc3339(r.deadline_rfc3339);
  if (!deadline) return value_error("deadline_rfc3339: " + deadline.error().message);

  return CheckedIntent{
      .principal_seed = *principal_seed,
      .terms =
          {
              .tenant_id = r.tenant_id,
              .intent_id = *intent_id,
              .principal_did = r.principal_did,
              .payee_did = r.payee_did,
              .payee_pubkey = *payee_key,
              .budget = std::move(budget).value(),
              .currency = r.currency,
              .amount_cents = r.amount_cents,
              .evidence_schema = std::move(evidence_schema).value(),
              .deadline = *deadline,
              .deadline_text = r.deadline_rfc3339,
              .predicate = std::move(predicate).value(),
              .predicate_ref = signed_predicate_ref(r.predicate_ref),
              .allowed_tools = std::move(allowed_tools).value(),
              .settlement_rail = rail,
              .policy = std::nullopt,
          },
  };
}

// The policy content digest is checked after every other input: trimmed,
// decoded as hex, exactly 32 bytes.
Expected<Digest> checked_policy_digest(std::string_view digest_hex) {
  auto bytes = encoding::decode_hex(encoding::trim_white_space(digest_hex));
  if (!bytes) return value_error("policy_content_digest_hex: " + bytes.error().message);
  if (bytes->size() != Digest{}.size()) return value_error("policy_content_digest_hex must decode to 32 bytes");
  Digest digest;
  std::copy(bytes->begin(), bytes->end(), digest.begin());
  return digest;
}

// Signs the payload with the principal's key, which wipes itself on every
// path out of here, and writes the document.
Expected<std::string> sign_and_write(const CheckedIntent& intent) {
  auto payload = intent_signing_payload(intent.terms);
  if (!payload) return fail(std::move(payload).error());
  const crypto::SigningKey principal_key(intent.principal_seed);
  const crypto::Signature signature = principal_key.sign(*payload);
  return write_intent_document(intent.terms, principal_key.public_key(), signature);
}

}  // namespace

Expected<std::string> build_signed_create_intent_json(const CreateIntentRequest& request) {
  auto intent = check_intent(request, "predicate_json");
  if (!intent) return fail(std::move(intent).error());
  return sign_and_write(*intent);
}

Expected<std::string> build_signed_create_intent_with_policy_binding_json(const CreateIntentRequest& request) {
  auto intent = check_intent(request, "materialized_predicate_json");
  if (!intent) return fail(std::move(intent).error());
  auto digest = checked_policy_digest(request.policy_content_digest_hex);
  if (!digest) return fail(std::move(digest).error());
  intent->terms.policy = PolicyHead{request.policy_template_id, request.policy_version_seq, *digest};
  return sign_and_write(*intent);
}

}  // namespace corvane::functions
