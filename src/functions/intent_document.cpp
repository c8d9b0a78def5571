#include "functions/intent_document.hpp"

#include <span>
#include <string_view>

#include "encoding/base64.hpp"
#include "encoding/json_writer.hpp"
#include "functions/intent_payload.hpp"

namespace corvane::functions {
namespace {

// Appends `"name":` after a comma when the object already has members.
void member(std::string& out, std::string_view name) {
  out += out.back() == '{' ? "\"" : ",\"";
  out += name;
  out += "\":";
}

void string_member(std::string& out, std::string_view name, std::string_view value) {
  member(out, name);
  encoding::append_json_string(value, out);
}

void base64_member(std::string& out, std::string_view name, std::span<const std::uint8_t> bytes) {
  member(out, name);
  out += '"';
  encoding::append_base64(bytes, out);
  out += '"';
}

}  // namespace

std::string write_intent_document(const IntentTerms& t, const crypto::PublicKey& principal_pubkey,
                                  const crypto::Signature& principal_signature) {
  // The members are written in the byte order of their keys, which is the
  // order a JSON object keeps; this list must stay sorted.
  std::string out = "{";
  member(out, "allowed_tools");
  out += '[';
  for (std::size_t i = 0; i < t.allowed_tools.size(); ++i) {
    if (i != 0) out += ',';
    encoding::append_json_string(t.allowed_tools[i], out);
  }
  out += ']';
  member(out, "amount_cents");
  out += std::to_string(t.amount_cents);
  member(out, "budget");
  encoding::append_json(t.budget, out);
  string_member(out, "currency", t.currency);
  string_member(out, "deadline", t.deadline_text);
  member(out, "evidence_schema");
  encoding::append_json(t.evidence_schema, out);
  string_member(out, "intent_id", encoding::format_uuid(t.intent_id));
  string_member(out, "payee_did", t.payee_did);
  base64_member(out, "payee_pubkey", t.payee_pubkey);
  member(out, "policy_binding");
  if (t.policy) {
    out += "{\"template_id\":";
    encoding::append_json_string(t.policy->template_id, out);
    out += ",\"version_seq\":";
    out += std::to_string(t.policy->version_seq);
    out += '}';
  } else {
    out += "null";
    member(out, "predicate_dsl");
    encoding::append_json(t.predicate, out);
  }
  if (!t.predicate_ref.empty()) string_member(out, "predicate_ref", t.predicate_ref);
  string_member(out, "principal_did", t.principal_did);
  base64_member(out, "principal_pubkey", principal_pubkey);
  base64_member(out, "principal_signature", principal_signature);
  string_member(out, "settlement_rail", t.settlement_rail);
  member(out, "signing_version");
  out += std::to_string(signing_version(t));
  out += '}';
  return out;
}

}  // namespace corvane::functions
