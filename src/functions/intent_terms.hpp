// A create-intent call's inputs, checked once into the one value that the
// signing payload, the signature and the request document are made from.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.hpp"
#include "crypto/seed.hpp"
#include "crypto/signing_key.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"

namespace corvane::functions {

// The rails an intent may settle on, exactly (after trimming, where a caller trims).
inline constexpr std::array<std::string_view, 5> kSettlementRails = {
    "stripe_connect", "stripe_ach_debit", "stripe_mpp", "adyen_manual_capture", "x402_usdc_base"};
inline constexpr std::string_view kSettlementRailList =
    "stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture, x402_usdc_base";

inline bool is_settlement_rail(std::string_view rail) {
  return std::find(kSettlementRails.begin(), kSettlementRails.end(), rail) != kSettlementRails.end();
}

// The published managed-policy head an intent can be bound to.
struct PolicyHead {
  std::string_view template_id;
  std::uint32_t version_seq;
  Digest content_digest;  // signed only, never written into the document
};

// Every term of an intent as the signing payload covers it and the request
// document shows it. Texts view the caller's arguments.
struct IntentTerms {
  std::string_view tenant_id;  // signed only
  encoding::Uuid intent_id;
  std::string_view principal_did;
  std::string_view payee_did;
  crypto::PublicKey payee_pubkey;
  encoding::CanonicalJson budget;
  std::string_view currency;
  std::int64_t amount_cents;
  encoding::CanonicalJson evidence_schema;
  encoding::Timestamp deadline;   // signed in its canonical text
  std::string_view deadline_text;  // the caller's text, which the document keeps
  encoding::CanonicalJson predicate;  // the materialized predicate when bound to a policy
  // Empty when the caller's reference is blank after trimming: the document
  // then leaves it out, so the service rebuilds the record with an empty one.
  std::string_view predicate_ref;
  std::vector<std::string> allowed_tools;
  std::string_view settlement_rail;  // trimmed
  std::optional<PolicyHead> policy;  // IntentSignV7 when present, else IntentSignV6
};

struct CheckedIntent {
  crypto::Seed principal_seed;
  IntentTerms terms;
};

}  // namespace corvane::functions
