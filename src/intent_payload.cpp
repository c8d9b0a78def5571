#include "intent_payload.hpp"

#include <algorithm>
#include <utility>

#include "encoding/content_digest.hpp"
#include "encoding/hex.hpp"
#include "encoding/signing_payload.hpp"
#include "encoding/trim.hpp"

namespace corvane {
namespace {

// Fields 2 to 14, which both records share; the error is the encoding
// error's text form.
Expected<Ok> write_terms(encoding::PayloadWriter& payload, const IntentTerms& terms) {
  payload.text(terms.tenant_id);
  payload.uuid(terms.intent_id);
  payload.text(terms.principal_did);
  payload.text(terms.payee_did);
  payload.signed_int(terms.amount_cents);
  payload.text(terms.currency);
  if (auto written = payload.timestamp(terms.deadline); !written) {
    return fail(encoding::encoding_error_text(written.error()));
  }
  payload.bytes32(encoding::content_digest(terms.budget));
  payload.bytes32(encoding::content_digest(terms.evidence_schema));
  payload.bytes32(encoding::content_digest(terms.predicate));
  payload.text(terms.predicate_ref);
  payload.bytes32(encoding::allowed_tools_digest(terms.allowed_tools));
  payload.text(terms.settlement_rail);
  return Ok{};
}

}  // namespace

Expected<ByteVector> build_intent_sign_v6(const IntentTerms& terms) {
  encoding::PayloadWriter payload;
  payload.tag(6);
  if (auto written = write_terms(payload, terms); !written) {
    return fail("bincode intent sign v6 payload: " + written.error());
  }
  payload.bytes32(terms.payee_pubkey);
  return std::move(payload).take();
}

Expected<ByteVector> build_intent_sign_v7(const IntentTerms& terms, std::string_view policy_template_id,
                                          std::uint32_t policy_version_seq,
                                          std::string_view policy_content_digest_hex) {
  auto digest_bytes = encoding::decode_hex(encoding::trim_white_space(policy_content_digest_hex));
  if (!digest_bytes) return fail("policy_content_digest_hex: " + digest_bytes.error());
  if (digest_bytes->size() != 32) return fail(std::string("policy_content_digest_hex must decode to 32 bytes"));
  Bytes32 policy_content_digest;
  std::copy(digest_bytes->begin(), digest_bytes->end(), policy_content_digest.begin());

  encoding::PayloadWriter payload;
  payload.tag(7);
  if (auto written = write_terms(payload, terms); !written) {
    return fail("bincode intent sign v7 payload: " + written.error());
  }
  payload.text(policy_template_id);
  payload.unsigned_int(policy_version_seq);
  payload.bytes32(policy_content_digest);
  payload.bytes32(terms.payee_pubkey);
  return std::move(payload).take();
}

}  // namespace corvane
