#include "functions/intent_payload.hpp"

#include <string>
#include <utility>

#include "encoding/content_digest.hpp"
#include "encoding/signing_payload.hpp"

namespace corvane::functions {

int signing_version(const IntentTerms& terms) { return terms.policy ? 7 : 6; }

Expected<ByteVector> intent_signing_payload(const IntentTerms& terms) {
  const int version = signing_version(terms);
  encoding::PayloadWriter payload;
  payload.tag(static_cast<std::uint8_t>(version));
  // Fields 2 to 14, which both records share.
  payload.text(terms.tenant_id);
  payload.uuid(terms.intent_id);
  payload.text(terms.principal_did);
  payload.text(terms.payee_did);
  payload.signed_int(terms.amount_cents);
  payload.text(terms.currency);
  if (auto written = payload.timestamp(terms.deadline); !written) {
    return value_error("bincode intent sign v" + std::to_string(version) +
                       " payload: " + encoding::encoding_error_text(written.error().message));
  }
  payload.bytes32(encoding::content_digest(terms.budget));
  payload.bytes32(encoding::content_digest(terms.evidence_schema));
  payload.bytes32(encoding::content_digest(terms.predicate));
  payload.text(terms.predicate_ref);
  payload.bytes32(encoding::allowed_tools_digest(terms.allowed_tools));
  payload.text(terms.settlement_rail);
  if (terms.policy) {
    payload.text(terms.policy->template_id);
    payload.unsigned_int(terms.policy->version_seq);
    payload.bytes32(terms.policy->content_digest);
  }
  payload.bytes32(terms.payee_pubkey);
  return std::move(payload).take();
}

}  // namespace corvane::functions
