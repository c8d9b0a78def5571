// The two evidence targets: valid default arguments with fuzz-chosen fields
// replaced (see Fields): a tenant_id, b intent_id, c payee_did,
// d payload_json, e artifacts_hex (elements separated by 0xFE), f
// submitted_at_rfc3339, g secret_seed. Checks: no crash, no leak, the same
// outcome twice, and with a 32-byte seed the two functions agree on the
// record: both accept or both refuse, and the payee signature verifies
// (libsodium) over the bytes that encode_evidence_sign_v1_hex returns, which
// the body check rebuilds from the document (unless a float in it reads as
// its neighbour, or it nests past the reader's limit, which it does not read).
#pragma once

#include <sodium.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "functions/body_check.hpp"
#include "functions/evidence_binding.hpp"
#include "functions/wire_golden.hpp"
#include "fuzz_support.hpp"

namespace fuzz {

inline std::vector<std::uint8_t> base64_member(const corvane::encoding::JsonValue& document, std::string_view key) {
  const std::string_view text = document.find(key)->as_string();
  std::vector<std::uint8_t> bytes(text.size());
  std::size_t size = 0;
  require(sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &size, nullptr,
                            sodium_base64_VARIANT_ORIGINAL) == 0, "a member is no base64", text);
  bytes.resize(size);
  return bytes;
}

inline void check_evidence(const std::uint8_t* data, std::size_t size, bool sign_target) {
  require(sodium_init() >= 0, "sodium_init failed");
  const Fields f(data, size, 7);
  const std::string_view tenant_id = f.text(0, "tenant-7"), intent_id = f.text(1, "123e4567-e89b-12d3-a456-426614174000");
  const std::string_view payee_did = f.text(2, "did:example:payee"), payload = f.text(3, R"({"b": 1, "a": "x"})");
  const auto artifacts = f.list(4, {std::string(64, '1'), " 0x" + std::string(64, 'A') + "\t"});
  const std::string_view submitted_at = f.text(5, "2025-03-01t12:00:00.500+00:00");
  const auto seed = f.bytes(6, "payee-seed-0123456789abcdefghij!");
  const auto sign = [&] {
    return corvane::functions::sign_payee_evidence_binding_json(
        {tenant_id, intent_id, payee_did, payload, artifacts, submitted_at, seed});
  };
  const auto encode = [&] {
    return corvane::functions::encode_evidence_sign_v1_hex({tenant_id, intent_id, payee_did, payload, artifacts, submitted_at});
  };
  const auto signed_document = sign();
  const auto record_hex = encode();
  require(same_outcome(sign_target ? signed_document : record_hex, sign_target ? sign() : encode()),
          "calling twice gives two outcomes");
  if (seed.size() != 32) return;
  require(signed_document.ok() == record_hex.ok(), "the evidence functions disagree on acceptance");
  if (!record_hex) return;
  const auto record = corvane::encoding::decode_hex(*record_hex);
  const auto document = corvane::encoding::read_json(*signed_document);
  if (!document && document.error().message.starts_with("recursion limit exceeded")) return;  // a payload 127 deep
  require(record && document, "a result is no hex or no JSON", *signed_document);
  const auto public_key = base64_member(*document, "payee_pubkey");
  const auto signature = base64_member(*document, "payee_signature");
  require(public_key.size() == 32 && signature.size() == 64 &&
              crypto_sign_verify_detached(signature.data(), record->data(), record->size(), public_key.data()) == 0,
          "the payee signature does not cover the encoded record", *signed_document);
  const auto check = corvane::functions::check_evidence({*signed_document, tenant_id, intent_id});
  require(check->reason.empty() ? check->payload == *record : check->reason.find(" reads back as ") != std::string::npos,
          "a signed body does not check", check->reason + "\n  " + *signed_document);
}

}  // namespace fuzz
