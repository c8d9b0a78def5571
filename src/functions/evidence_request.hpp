// The arguments of the two evidence functions, in parameter order: the
// EvidenceSignV1 inputs, and the payee's seed when the record is signed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/bytes.hpp"
#include "encoding/uuid.hpp"
#include "evidence/evidence_record.hpp"

namespace corvane::functions {

struct EvidenceRequest {
  std::string_view tenant_id;
  std::string_view intent_id;
  std::string_view payee_did;
  std::string_view payload_json;
  std::span<const std::string> artifacts_hex;
  std::string_view submitted_at_rfc3339;
  std::span<const std::uint8_t> secret_seed = {};
};

// The record builder's inputs: the request's, with the identifier and the
// payload's digest from the caller's checks.
inline evidence::EvidenceInputs record_inputs(const EvidenceRequest& request, const encoding::Uuid& intent_id,
                                              const Digest& payload_digest) {
  return {
      .tenant_id = request.tenant_id,
      .intent_id = intent_id,
      .payee_did = request.payee_did,
      .payload_digest = payload_digest,
      .artifacts_hex = request.artifacts_hex,
      .submitted_at_rfc3339 = request.submitted_at_rfc3339,
  };
}

}  // namespace corvane::functions
