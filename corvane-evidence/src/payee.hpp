// The payee's side of evidence submission: binds the evidence to the intent
// and tenant through an EvidenceSignV1 signature.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/expected.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"
#include "signing_key.hpp"

namespace corvane::evidence {

class EvidenceError {
 public:
  enum class Kind { artifact, signing_payload, submission_time };

  static EvidenceError artifact(std::size_t index, std::string reason) {
    return {Kind::artifact, index, std::move(reason)};
  }
  static EvidenceError signing_payload(std::string text) { return {Kind::signing_payload, 0, std::move(text)}; }
  static EvidenceError submission_time(std::string text) { return {Kind::submission_time, 0, std::move(text)}; }

  Kind kind() const { return kind_; }
  // "artifact[{i}]: {reason}", "evidence signing payload: {text}" or
  // "submitted_at: {text}".
  std::string text() const;

 private:
  EvidenceError(Kind kind, std::size_t index, std::string message)
      : kind_(kind), index_(index), message_(std::move(message)) {}

  Kind kind_;
  std::size_t index_;
  std::string message_;
};

// The values of a signed evidence submission, ready to be written.
struct SignedEvidence {
  const encoding::CanonicalJson* payload;  // the caller's, not copied
  std::vector<std::string> artifacts;  // 64 lower-case hex digits each
  std::string_view payee_did;
  std::string payee_pubkey;     // base64
  std::string payee_signature;  // base64
  std::string submitted_at;     // canonical RFC 3339 text
};

struct EvidenceInputs {
  std::string_view tenant_id;
  encoding::Uuid intent_id;
  std::string_view payee_did;
  const encoding::CanonicalJson& payload;
  std::span<const std::string> artifacts_hex;
  const encoding::Timestamp& submitted_at;
};

// Decodes the artifacts, digests payload and artifacts, builds EvidenceSignV1
// and signs its bytes with the payee's key.
Expected<SignedEvidence, EvidenceError> build_signed_evidence(const EvidenceInputs& inputs, const SigningKey& key);

}  // namespace corvane::evidence
