// The CreateIntentRequest document: the body of POST /intents.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "encoding/canonical_json.hpp"
#include "encoding/uuid.hpp"
#include "signing_key.hpp"

namespace corvane {

struct PolicyBinding {
  std::string_view template_id;
  std::uint32_t version_seq;
};

struct CreateIntentDocument {
  std::span<const std::string> allowed_tools;
  std::int64_t amount_cents;
  const encoding::CanonicalJson& budget;
  std::string_view currency;
  std::string_view deadline;  // the caller's text, as given
  const encoding::CanonicalJson& evidence_schema;
  encoding::Uuid intent_id;
  std::string_view payee_did;
  const PublicKey& payee_pubkey;
  std::optional<PolicyBinding> policy_binding;     // null when absent
  const encoding::CanonicalJson* predicate_dsl;        // left out when null
  std::string_view predicate_ref;                  // left out when blank after trimming
  std::string_view principal_did;
  const PublicKey& principal_pubkey;
  const Signature& principal_signature;
  std::string_view settlement_rail;
  int signing_version;
};

// Members in key order, compact.
std::string write_create_intent_document(const CreateIntentDocument& document);

}  // namespace corvane
