// The two create-intent targets: valid default arguments with fuzz-chosen
// fields replaced, and the checks on what comes back.
//
// Fields (see Fields in fuzz_support.hpp), in parameter order: a tenant_id,
// b principal_seed, c payee_seed, d intent_id, e principal_did, f payee_did,
// g budget_json, h currency, i amount_cents (decimal), j evidence_schema_json,
// k deadline_rfc3339, l predicate_json (materialized_predicate_json), m
// predicate_ref, n allowed_tools_json, o settlement_rail; for the policy
// binding also p policy_template_id, q policy_version_seq (decimal, taken
// modulo 2^32 as the call frame would refuse larger ones), r
// policy_content_digest_hex.
//
// Properties: no crash and no leak; an error is a ValueError whose message is
// that of the first failing input in the documented order, built from the
// reader's or parser's own message; a document is canonical compact JSON
// with exactly the documented members and values, and its principal signature
// verifies (libsodium) over the intent payload of the same inputs.
#pragma once

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/trim.hpp"
#include "encoding/uuid.hpp"
#include "functions/create_intent.hpp"
#include "functions/intent_payload.hpp"
#include "fuzz_support.hpp"

namespace fuzz {

inline constexpr std::size_t kCreateIntentFields = 18;

// The arguments of the policy-bound function; the plain one ignores the
// policy head.
struct CreateIntentInput {
  std::vector<std::uint8_t> principal_seed, payee_seed;
  corvane::functions::CreateIntentRequest args;
};

inline CreateIntentInput create_intent_input(const Fields& f) {
  CreateIntentInput in{
      .principal_seed = f.bytes(1, "principal-seed-0123456789abcdef!"),
      .payee_seed = f.bytes(2, "payee-seed-0123456789abcdefghij!"),
      .args = {},
  };
  in.args = {
      .tenant_id = f.text(0, "tenant-7"),
      .principal_seed = in.principal_seed,
      .payee = corvane::functions::PayeeSeed{in.payee_seed},
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
  return in;
}

// The first failure in the documented order, or nothing when all pass.
inline std::optional<std::string> expected_create_intent_error(const CreateIntentInput& in, bool with_policy) {
  using namespace corvane::encoding;
  const auto& a = in.args;
  if (a.principal_seed.size() != 32) return "principal_seed must be exactly 32 bytes (Ed25519 signing key seed)";
  if (in.payee_seed.size() != 32) return "payee_seed must be exactly 32 bytes (Ed25519 signing key seed)";
  if (auto id = parse_uuid(trim_white_space(a.intent_id)); !id) return "intent_id: " + id.error().message;
  if (auto v = read_json(a.budget_json); !v) return "budget_json: " + v.error().message;
  if (auto v = read_json(a.evidence_schema_json); !v) return "evidence_schema_json: " + v.error().message;
  if (auto v = read_json(a.predicate_json); !v) {
    return (with_policy ? "materialized_predicate_json: " : "predicate_json: ") + v.error().message;
  }
  const auto tools = read_json_string_array(a.allowed_tools_json);
  if (!tools) return "allowed_tools_json must be a JSON array of strings: " + tools.error().message;
  if (tools->empty()) return "allowed_tools must be non-empty";
  static constexpr std::array<std::string_view, 5> kRails = {"stripe_connect", "stripe_ach_debit", "stripe_mpp",
                                                             "adyen_manual_capture", "x402_usdc_base"};
  if (std::find(kRails.begin(), kRails.end(), trim_white_space(a.settlement_rail)) == kRails.end()) {
    return "settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture, "
           "x402_usdc_base";
  }
  if (auto t = parse_rfc3339(a.deadline_rfc3339); !t) return "deadline_rfc3339: " + t.error().message;
  if (with_policy) {
    const auto digest = decode_hex(trim_white_space(a.policy_content_digest_hex));
    if (!digest) return "policy_content_digest_hex: " + digest.error().message;
    if (digest->size() != 32) return "policy_content_digest_hex must decode to 32 bytes";
  }
  return std::nullopt;
}

inline std::string base64(std::span<const std::uint8_t> bytes) {
  std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(out.data(), out.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  out.pop_back();  // the terminating NUL
  return out;
}

inline std::array<std::uint8_t, 32> public_key_of(std::span<const std::uint8_t> seed) {
  std::array<std::uint8_t, 32> public_key;
  std::array<std::uint8_t, 64> secret;
  crypto_sign_seed_keypair(public_key.data(), secret.data(), seed.data());
  sodium_memzero(secret.data(), secret.size());
  return public_key;
}

inline bool holds_float(const corvane::encoding::JsonValue& value) {
  using corvane::encoding::JsonKind;
  switch (value.kind()) {
    case JsonKind::floating:
      return true;
    case JsonKind::array:
      return std::ranges::any_of(value.as_array(), holds_float);
    case JsonKind::object:
      return std::ranges::any_of(value.as_object(), [](const auto& m) { return holds_float(m.value()); });
    default:
      return false;
  }
}

// Arrays and objects nested in `value`, itself included.
inline int nesting(const corvane::encoding::JsonValue& value) {
  using corvane::encoding::JsonKind;
  int deepest = 0;
  if (value.kind() == JsonKind::array) {
    for (const auto& item : value.as_array()) deepest = std::max(deepest, nesting(item));
  } else if (value.kind() == JsonKind::object) {
    for (const auto& member : value.as_object()) deepest = std::max(deepest, nesting(member.value()));
  } else {
    return 0;
  }
  return deepest + 1;
}

inline void check_create_intent_document(const CreateIntentInput& in, bool with_policy, const std::string& doc) {
  using namespace corvane::encoding;
  const auto& a = in.args;
  auto budget = read_json(a.budget_json);
  auto schema = read_json(a.evidence_schema_json);
  auto predicate = read_json(a.predicate_json);
  auto tools = read_json_string_array(a.allowed_tools_json);
  const auto deadline = parse_rfc3339(a.deadline_rfc3339);
  const auto intent_id = parse_uuid(trim_white_space(a.intent_id));
  const std::string_view rail = trim_white_space(a.settlement_rail);
  const bool has_ref = !trim_white_space(a.predicate_ref).empty();

  const auto parsed = read_json(doc);
  // The document nests its JSON values one level deeper than they were read;
  // a value at the reader's limit of 127 gives a document over it.
  if (!parsed && parsed.error().message.starts_with("recursion limit exceeded") &&
      std::max({nesting(*budget), nesting(*schema), with_policy ? 0 : nesting(*predicate)}) >= 127) {
    return;
  }
  if (!parsed) finding("document is no JSON", parsed.error().message + "\n  " + doc);
  require(parsed->kind() == JsonKind::object, "document is no object", doc);
  // Members in key order and nothing but compact text: the document is its
  // own canonical text, unless a float reads back as a neighbouring double.
  if (!holds_float(*budget) && !holds_float(*schema) && !holds_float(*predicate)) {
    require(to_json(*parsed) == doc, "document is not canonical compact JSON", doc);
  }

  std::vector<std::string_view> keys = {"allowed_tools", "amount_cents",  "budget",         "currency",
                                        "deadline",      "evidence_schema", "intent_id",    "payee_did",
                                        "payee_pubkey",  "policy_binding", "principal_did", "principal_pubkey",
                                        "principal_signature", "settlement_rail", "signing_version"};
  if (!with_policy) keys.push_back("predicate_dsl");
  if (has_ref) keys.push_back("predicate_ref");
  std::sort(keys.begin(), keys.end());
  const auto members = parsed->as_object();
  require(std::ranges::equal(members, keys, [](const auto& m, std::string_view k) { return m.key() == k; }),
          "document members are not the documented ones", doc);

  const auto string_member = [&](std::string_view key, std::string_view expected) {
    const JsonValue* v = parsed->find(key);
    require(v->kind() == JsonKind::string && v->as_string() == expected, "document member has the wrong value", key);
  };
  const auto json_member = [&](std::string_view key, const JsonValue& expected, std::string_view next) {
    // Compared as text, so that floats count exactly as written.
    std::string expected_text = "\"";
    expected_text.append(key).append("\":");
    append_json(expected, expected_text);
    expected_text.append(",\"").append(next);
    require(doc.find(expected_text) != std::string::npos, "document member has the wrong JSON value", key);
  };

  const JsonValue* listed = parsed->find("allowed_tools");
  require(listed->kind() == JsonKind::array &&
              std::ranges::equal(listed->as_array(), *tools,
                                 [](const JsonValue& v, const std::string& s) {
                                   return v.kind() == JsonKind::string && v.as_string() == s;
                                 }),
          "allowed_tools are not the tools as read", doc);
  const JsonValue* amount = parsed->find("amount_cents");
  require(a.amount_cents < 0 ? amount->kind() == JsonKind::negative_integer && amount->as_negative() == a.amount_cents
                             : amount->kind() == JsonKind::unsigned_integer &&
                                   amount->as_unsigned() == static_cast<std::uint64_t>(a.amount_cents),
          "amount_cents differs", doc);
  json_member("budget", *budget, "currency");
  string_member("currency", a.currency);
  string_member("deadline", a.deadline_rfc3339);
  json_member("evidence_schema", *schema, "intent_id");
  string_member("intent_id", format_uuid(*intent_id));
  string_member("payee_did", a.payee_did);
  const auto payee_pubkey = public_key_of(in.payee_seed);
  const auto principal_pubkey = public_key_of(a.principal_seed);
  string_member("payee_pubkey", base64(payee_pubkey));
  string_member("principal_pubkey", base64(principal_pubkey));
  if (with_policy) {
    std::string binding = "\"policy_binding\":{\"template_id\":";
    append_json_string(a.policy_template_id, binding);
    binding.append(",\"version_seq\":").append(std::to_string(a.policy_version_seq)).append("}");
    require(doc.find(binding) != std::string::npos, "policy_binding differs", doc);
  } else {
    require(parsed->find("policy_binding")->is_null(), "policy_binding is not null", doc);
    json_member("predicate_dsl", *predicate, has_ref ? "predicate_ref" : "principal_did");
  }
  if (has_ref) string_member("predicate_ref", a.predicate_ref);
  string_member("principal_did", a.principal_did);
  string_member("settlement_rail", rail);
  const JsonValue* version = parsed->find("signing_version");
  require(version->kind() == JsonKind::unsigned_integer && version->as_unsigned() == (with_policy ? 7u : 6u),
          "signing_version differs", doc);

  // The signature covers the payload of these very inputs. A reference that
  // is blank after trimming is left out of the document and signed empty.
  std::optional<corvane::functions::PolicyHead> policy;
  if (with_policy) {
    corvane::Digest digest{};
    const auto bytes = decode_hex(trim_white_space(a.policy_content_digest_hex));
    std::copy(bytes->begin(), bytes->end(), digest.begin());
    policy = corvane::functions::PolicyHead{a.policy_template_id, a.policy_version_seq, digest};
  }
  const corvane::functions::IntentTerms terms{
      .tenant_id = a.tenant_id,
      .intent_id = *intent_id,
      .principal_did = a.principal_did,
      .payee_did = a.payee_did,
      .payee_pubkey = payee_pubkey,
      .budget = CanonicalJson{to_json(*budget), budget->kind()},
      .currency = a.currency,
      .amount_cents = a.amount_cents,
      .evidence_schema = CanonicalJson{to_json(*schema), schema->kind()},
      .deadline = *deadline,
      .deadline_text = a.deadline_rfc3339,
      .predicate = CanonicalJson{to_json(*predicate), predicate->kind()},
      .predicate_ref = has_ref ? a.predicate_ref : std::string_view(),
      .allowed_tools = std::move(tools).value(),
      .settlement_rail = rail,
      .policy = policy,
  };
  const auto payload = corvane::functions::intent_signing_payload(terms);
  if (!payload) finding("payload of accepted inputs fails", payload.error().message);
  require(!payload->empty() && payload->front() == (with_policy ? 7 : 6), "payload tag byte differs");
  const std::string_view signature_text = parsed->find("principal_signature")->as_string();
  std::array<std::uint8_t, 64> signature;
  std::size_t signature_size = 0;
  require(signature_text.size() == 88 &&
              sodium_base642bin(signature.data(), signature.size(), signature_text.data(), signature_text.size(),
                                nullptr, &signature_size, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
              signature_size == 64,
          "principal_signature is not 64 bytes in base64", signature_text);
  require(crypto_sign_verify_detached(signature.data(), payload->data(), payload->size(), principal_pubkey.data()) == 0,
          "principal_signature does not verify over the intent payload", doc);
}

inline void check_create_intent(const std::uint8_t* data, std::size_t size, bool with_policy) {
  static const bool sodium_ready = sodium_init() >= 0;
  require(sodium_ready, "sodium_init failed");
  const Fields fields(data, size, with_policy ? kCreateIntentFields : kCreateIntentFields - 3);
  const CreateIntentInput in = create_intent_input(fields);
  const auto& a = in.args;
  const auto result = with_policy ? corvane::functions::build_signed_create_intent_with_policy_binding_json(a)
                                  : corvane::functions::build_signed_create_intent_json(a);
  const auto expected = expected_create_intent_error(in, with_policy);
  if (!result) {
    require(result.error().kind == corvane::ErrorKind::value, "error is not a ValueError", result.error().message);
    require(expected.has_value() && result.error().message == *expected, "wrong error, or an error out of order",
            result.error().message + "\n  expected: " + expected.value_or("a document"));
    return;
  }
  require(!expected.has_value(), "a document where an input fails", expected.value_or(""));
  check_create_intent_document(in, with_policy, *result);
}

}  // namespace fuzz
