#include "handlers.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "call_frame.hpp"
#include "create_intent.hpp"
#include "evidence_binding.hpp"
#include "secret_bytes.hpp"
#include "verify_digest.hpp"
#include "wire_golden.hpp"

namespace corvane::python {
namespace {

using Text = std::string_view;
using Seed = SecretBytes;
using TextList = std::vector<std::string>;

constexpr const char* kEvidenceParameters[] = {
    "tenant_id", "intent_id", "payee_did", "payload_json", "artifacts_hex", "submitted_at_rfc3339", "secret_seed"};
constexpr CallSignature kSignPayeeEvidence{"sign_payee_evidence_binding_json", kEvidenceParameters};
constexpr CallSignature kEncodeEvidence{"encode_evidence_sign_v1_hex", {kEvidenceParameters, 6}};

constexpr const char* kIntentParameters[] = {
    "tenant_id",        "principal_seed",    "payee_seed",           "intent_id",
    "principal_did",    "payee_did",         "budget_json",          "currency",
    "amount_cents",     "evidence_schema_json", "deadline_rfc3339",  "predicate_json",
    "predicate_ref",    "allowed_tools_json", "settlement_rail"};
constexpr CallSignature kCreateIntent{"build_signed_create_intent_json", kIntentParameters};

constexpr const char* kPolicyIntentParameters[] = {
    "tenant_id",        "principal_seed",       "payee_seed",       "intent_id",
    "principal_did",    "payee_did",            "budget_json",      "currency",
    "amount_cents",     "evidence_schema_json", "deadline_rfc3339", "materialized_predicate_json",
    "predicate_ref",    "allowed_tools_json",   "settlement_rail",  "policy_template_id",
    "policy_version_seq", "policy_content_digest_hex"};
constexpr CallSignature kCreatePolicyIntent{"build_signed_create_intent_with_policy_binding_json",
                                        kPolicyIntentParameters};

constexpr const char* kVerifyParameters[] = {"digest_hex", "signature_hex", "public_key_hex"};
constexpr CallSignature kVerify{"verify_ed25519_sha256_hex", kVerifyParameters};

CreateIntentArgs intent_args(Text tenant_id, const Seed& principal_seed, const Seed& payee_seed, Text intent_id,
                             Text principal_did, Text payee_did, Text budget_json, Text currency,
                             std::int64_t amount_cents, Text evidence_schema_json, Text deadline_rfc3339,
                             Text predicate_json, Text predicate_ref, Text allowed_tools_json,
                             Text settlement_rail) {
  return {tenant_id,    principal_seed.view(), payee_seed.view(), intent_id,
          principal_did, payee_did,            budget_json,       currency,
          amount_cents,  evidence_schema_json, deadline_rfc3339,  predicate_json,
          predicate_ref, allowed_tools_json,   settlement_rail};
}

}  // namespace

PyObject* handle_sign_payee_evidence_binding_json(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                                  PyObject* kwnames) {
  return run<Text, Text, Text, Text, TextList, Text, Seed>(
      kSignPayeeEvidence,
      [](Text tenant_id, Text intent_id, Text payee_did, Text payload_json, const TextList& artifacts_hex,
         Text submitted_at, const Seed& secret_seed) {
        return sign_payee_evidence_binding_json(tenant_id, intent_id, payee_did, payload_json, artifacts_hex,
                                                submitted_at, secret_seed.view());
      },
      args, nargs, kwnames);
}

PyObject* handle_encode_evidence_sign_v1_hex(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<Text, Text, Text, Text, TextList, Text>(kEncodeEvidence, encode_evidence_sign_v1_hex, args, nargs,
                                                     kwnames);
}

PyObject* handle_build_signed_create_intent_json(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                                 PyObject* kwnames) {
  return run<Text, Seed, Seed, Text, Text, Text, Text, Text, std::int64_t, Text, Text, Text, Text, Text, Text>(
      kCreateIntent,
      [](auto&&... values) { return build_signed_create_intent_json(intent_args(values...)); }, args, nargs,
      kwnames);
}

PyObject* handle_build_signed_create_intent_with_policy_binding_json(PyObject*, PyObject* const* args,
                                                                     Py_ssize_t nargs, PyObject* kwnames) {
  return run<Text, Seed, Seed, Text, Text, Text, Text, Text, std::int64_t, Text, Text, Text, Text, Text, Text, Text,
             std::uint32_t, Text>(
      kCreatePolicyIntent,
      [](Text tenant_id, const Seed& principal_seed, const Seed& payee_seed, Text intent_id, Text principal_did,
         Text payee_did, Text budget_json, Text currency, std::int64_t amount_cents, Text evidence_schema_json,
         Text deadline_rfc3339, Text materialized_predicate_json, Text predicate_ref, Text allowed_tools_json,
         Text settlement_rail, Text policy_template_id, std::uint32_t policy_version_seq,
         Text policy_content_digest_hex) {
        return build_signed_create_intent_with_policy_binding_json(
            intent_args(tenant_id, principal_seed, payee_seed, intent_id, principal_did, payee_did, budget_json,
                        currency, amount_cents, evidence_schema_json, deadline_rfc3339,
                        materialized_predicate_json, predicate_ref, allowed_tools_json, settlement_rail),
            PolicyHead{policy_template_id, policy_version_seq, policy_content_digest_hex});
      },
      args, nargs, kwnames);
}

PyObject* handle_verify_ed25519_sha256_hex(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<Text, Text, Text>(
      kVerify,
      [](Text digest_hex, Text signature_hex, Text public_key_hex) -> Outcome<bool> {
        auto verified = verify_ed25519_sha256_hex(digest_hex, signature_hex, public_key_hex);
        if (!verified) return value_error(std::move(verified).error());
        return *verified;
      },
      args, nargs, kwnames);
}

}  // namespace corvane::python
