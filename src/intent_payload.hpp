// The intent signing payloads: IntentSignV6 for a plain intent, IntentSignV7
// for one bound to a published managed-policy head.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "encoding/bytes.hpp"
#include "encoding/expected.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"
#include "signing_key.hpp"

namespace corvane {

// The terms both records carry, as the create-intent functions accepted them.
struct IntentTerms {
  std::string_view tenant_id;
  encoding::Uuid intent_id;
  std::string_view principal_did;
  std::string_view payee_did;
  std::int64_t amount_cents;
  std::string_view currency;
  encoding::Timestamp deadline;
  const encoding::CanonicalJson& budget;
  const encoding::CanonicalJson& evidence_schema;
  const encoding::CanonicalJson& predicate;  // the materialized predicate for V7
  std::string_view predicate_ref;
  std::span<const std::string> allowed_tools;
  std::string_view settlement_rail;  // trimmed
  const PublicKey& payee_pubkey;
};

// The error is the message to raise, unchanged.
Expected<ByteVector> build_intent_sign_v6(const IntentTerms& terms);
Expected<ByteVector> build_intent_sign_v7(const IntentTerms& terms, std::string_view policy_template_id,
                                          std::uint32_t policy_version_seq,
                                          std::string_view policy_content_digest_hex);

}  // namespace corvane
