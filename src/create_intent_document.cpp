#include "create_intent_document.hpp"

#include "encoding/base64.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/trim.hpp"

namespace corvane {
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

std::string write_create_intent_document(const CreateIntentDocument& d) {
  // The members are written in the byte order of their keys, which is the
  // order a JSON object keeps; this list must stay sorted.
  std::string out = "{";
  member(out, "allowed_tools");
  out += '[';
  for (std::size_t i = 0; i < d.allowed_tools.size(); ++i) {
    if (i != 0) out += ',';
    encoding::append_json_string(d.allowed_tools[i], out);
  }
  out += ']';
  member(out, "amount_cents");
  out += std::to_string(d.amount_cents);
  member(out, "budget");
  encoding::append_json(d.budget, out);
  string_member(out, "currency", d.currency);
  string_member(out, "deadline", d.deadline);
  member(out, "evidence_schema");
  encoding::append_json(d.evidence_schema, out);
  string_member(out, "intent_id", encoding::format_uuid(d.intent_id));
  string_member(out, "payee_did", d.payee_did);
  base64_member(out, "payee_pubkey", d.payee_pubkey);
  member(out, "policy_binding");
  if (d.policy_binding) {
    out += "{\"template_id\":";
    encoding::append_json_string(d.policy_binding->template_id, out);
    out += ",\"version_seq\":";
    out += std::to_string(d.policy_binding->version_seq);
    out += '}';
  } else {
    out += "null";
  }
  if (d.predicate_dsl != nullptr) {
    member(out, "predicate_dsl");
    encoding::append_json(*d.predicate_dsl, out);
  }
  if (!encoding::trim_white_space(d.predicate_ref).empty()) string_member(out, "predicate_ref", d.predicate_ref);
  string_member(out, "principal_did", d.principal_did);
  base64_member(out, "principal_pubkey", d.principal_pubkey);
  base64_member(out, "principal_signature", d.principal_signature);
  string_member(out, "settlement_rail", d.settlement_rail);
  member(out, "signing_version");
  out += std::to_string(d.signing_version);
  out += '}';
  return out;
}

}  // namespace corvane
