#include "functions/intent_body.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "encoding/canonical_json.hpp"
#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/trim.hpp"
#include "encoding/uuid.hpp"
#include "functions/body_members.hpp"
#include "functions/intent_payload.hpp"
#include "functions/intent_terms.hpp"

namespace corvane::functions {
namespace {

using encoding::JsonKind;
using encoding::JsonValue;

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();

Failure<Error> argument_fault(std::string_view argument, std::string_view problem) {
  return fail(Error(std::string(argument) + ": " + std::string(problem)));
}

// The signing_version, once policy_binding and predicate_dsl are seen to fit it.
Expected<int> signing_version(BodyMembers& m) {
  const std::int64_t version = m.integer("signing_version", kInt64Min, kInt64Max);
  if (version != 6 && version != 7) {
    m.fault("signing_version", "expected 6 or 7, found " + std::to_string(version));
  }
  const JsonValue* binding = m.optional("policy_binding");
  if (version == 6 && binding != nullptr) m.wrong_type("policy_binding", "null with signing_version 6", *binding);
  if (version == 7) {
    if (binding == nullptr) {
      m.any("policy_binding");  // missing, if it is
      m.fault("policy_binding", "expected an object with signing_version 7, found null");
    } else if (binding->kind() != JsonKind::object) {
      m.wrong_type("policy_binding", "an object with signing_version 7", *binding);
    }
    if (m.optional("predicate_dsl") != nullptr) {
      m.fault("predicate_dsl", "not expected with signing_version 7, whose predicate comes from the policy");
    }
  }
  if (m.first_fault()) return fail(*m.first_fault());
  return static_cast<int>(version);
}

// What version 7 takes beside the body.
struct PolicyArguments {
  Digest content_digest;
  encoding::CanonicalJson materialized_predicate;
};

// Version 6 takes neither argument; version 7 needs both.
Expected<std::optional<PolicyArguments>> policy_arguments(int version, const IntentBodyCheckRequest& r) {
  if (version == 6) {
    if (r.policy_content_digest) {
      return argument_fault("policy_content_digest", "given, but signing_version 6 binds no policy");
    }
    if (r.materialized_predicate_json) {
      return argument_fault("materialized_predicate_json", "given, but signing_version 6 carries its predicate");
    }
    return std::optional<PolicyArguments>();
  }
  if (!r.policy_content_digest) return argument_fault("policy_content_digest", "required for signing_version 7");
  if (!r.materialized_predicate_json) {
    return argument_fault("materialized_predicate_json", "required for signing_version 7");
  }
  auto bytes = encoding::decode_hex(encoding::trim_white_space(*r.policy_content_digest));
  if (!bytes) return argument_fault("policy_content_digest", bytes.error().message);
  if (bytes->size() != Digest{}.size()) {
    return argument_fault("policy_content_digest", "must decode to 32 bytes, not " + std::to_string(bytes->size()));
  }
  auto read = encoding::read_canonical_json(*r.materialized_predicate_json);
  if (!read) return argument_fault("materialized_predicate_json", read.error().message);
  PolicyArguments arguments{.content_digest = {}, .materialized_predicate = std::move(read).value()};
  std::copy(bytes->begin(), bytes->end(), arguments.content_digest.begin());
  return std::optional<PolicyArguments>(std::move(arguments));
}

// The intent's terms from the members, read in the record's field order.
// Version 6 reads its predicate from predicate_dsl; version 7 brings it.
Expected<IntentTerms> intent_terms(BodyMembers& m, const JsonValue& body, std::string_view tenant_id,
                                   std::optional<PolicyArguments>&& policy) {
  IntentTerms t{};
  t.tenant_id = tenant_id;
  const auto intent_id = encoding::parse_uuid(m.text("intent_id"));
  if (intent_id) {
    t.intent_id = *intent_id;
  } else {
    m.fault("intent_id", intent_id.error().message);
  }
  t.principal_did = m.text("principal_did");
  t.payee_did = m.text("payee_did");
  t.amount_cents = m.integer("amount_cents", kInt64Min, kInt64Max);
  t.currency = m.text("currency");
  t.deadline_text = m.text("deadline");
  const auto deadline = encoding::parse_rfc3339(t.deadline_text);
  if (deadline) {
    t.deadline = *deadline;
  } else {
    m.fault("deadline", deadline.error().message);
  }
  t.budget = encoding::canonical_json(m.any("budget"));
  t.evidence_schema = encoding::canonical_json(m.any("evidence_schema"));
  t.predicate = policy ? std::move(policy->materialized_predicate) : encoding::canonical_json(m.any("predicate_dsl"));
  t.predicate_ref = m.optional_text("predicate_ref");
  t.allowed_tools = m.texts("allowed_tools");
  if (t.allowed_tools.empty()) m.fault("allowed_tools", "must be non-empty");
  t.settlement_rail = m.text("settlement_rail");
  if (!is_settlement_rail(t.settlement_rail)) {
    m.fault("settlement_rail", "must be one of " + std::string(kSettlementRailList));
  }
  if (policy) {
    BodyMembers binding(*body.find("policy_binding"), "policy_binding.");
    t.policy = PolicyHead{
        .template_id = binding.text("template_id"),
        .version_seq = static_cast<std::uint32_t>(binding.integer("version_seq", 0, kUint32Max)),
        .content_digest = policy->content_digest,
    };
    m.adopt(binding);
  }
  t.payee_pubkey = m.public_key("payee_pubkey");
  if (m.first_fault()) return fail(*m.first_fault());
  return t;
}

}  // namespace

Expected<ByteVector> rebuild_intent_payload(const JsonValue& body, const IntentBodyCheckRequest& request) {
  BodyMembers m(body);
  const auto version = signing_version(m);
  if (!version) return fail(version.error());
  auto policy = policy_arguments(*version, request);
  if (!policy) return fail(std::move(policy).error());
  const auto terms = intent_terms(m, body, request.tenant_id, std::move(policy).value());
  if (!terms) return fail(terms.error());
  return intent_signing_payload(*terms);
}

}  // namespace corvane::functions
