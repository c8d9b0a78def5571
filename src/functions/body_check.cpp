#include "functions/body_check.hpp"

#include <string>
#include <utility>

#include "crypto/ed25519_verify.hpp"
#include "encoding/json_reader.hpp"
#include "functions/body_members.hpp"
#include "functions/body_read_back.hpp"
#include "functions/evidence_body.hpp"
#include "functions/intent_body.hpp"

namespace corvane::functions {
namespace {

// The members that carry a document's signer and signature.
struct SignerMembers {
  std::string_view key;
  std::string_view signature;
};

std::string_view record_name(const ByteVector& payload) {
  switch (payload.front()) {
    case 6: return "IntentSignV6";
    case 7: return "IntentSignV7";
    default: return "EvidenceSignV1";
  }
}

// Reads the body, rebuilds its payload with `rebuild` (body -> Expected
// payload) and verifies the signature over it. When that fails, a body whose
// signature holds for its numbers as written, but not as the reader reads
// them, gets a reason of its own.
template <class Rebuild>
BodyCheck check_body(std::string_view text, SignerMembers signer, const Rebuild& rebuild) {
  const auto body = encoding::read_json(text);
  if (!body) return {std::nullopt, "body: " + body.error().message};
  if (body->kind() != encoding::JsonKind::object) {
    return {std::nullopt, "body: expected an object, found " + std::string(json_type_name(*body))};
  }
  auto payload = rebuild(*body);
  if (!payload) return {std::nullopt, std::move(payload).error().message};

  BodyMembers m(*body);
  const crypto::PublicKey key = m.public_key(signer.key);
  const crypto::Signature signature = m.signature(signer.signature);
  if (m.first_fault()) return {std::move(*payload), m.first_fault()->message};
  if (crypto::verify_lenient(key, *payload, signature)) return {std::move(*payload), {}};

  if (!crypto::decodes_to_curve_point(key)) {
    return {std::move(*payload), std::string(signer.key) + ": not a point on the curve"};
  }
  if (const auto as_written = numbers_as_written(text)) {
    const auto again = rebuild(as_written->value);
    if (again && crypto::verify_lenient(key, *again, signature)) {
      const MisreadNumber& n = as_written->first;
      return {std::move(*payload), std::string(n.member) + ": the number " + std::string(n.written) +
                                       " reads back as " + n.read_as +
                                       "; the signature holds for the number as written"};
    }
  }
  std::string reason = std::string(signer.signature) + ": does not verify over the rebuilt " +
                       std::string(record_name(*payload)) + " payload";
  return {std::move(*payload), std::move(reason)};
}

}  // namespace

Expected<BodyCheck> check_create_intent(const IntentBodyCheckRequest& request) {
  return check_body(request.body, {"principal_pubkey", "principal_signature"},
                    [&](const encoding::JsonValue& body) { return rebuild_intent_payload(body, request); });
}

Expected<BodyCheck> check_evidence(const EvidenceBodyCheckRequest& request) {
  return check_body(request.body, {"payee_pubkey", "payee_signature"},
                    [&](const encoding::JsonValue& body) { return rebuild_evidence_payload(body, request); });
}

}  // namespace corvane::functions
