// The two evidence targets: valid default arguments with fuzz-chosen fields
// replaced, and the checks on what comes back.
//
// Fields (see Fields in fuzz_support.hpp): a tenant_id, b intent_id,
// c payee_did, d payload_json, e artifacts_hex (elements separated by 0xFE;
// empty for the empty list), f submitted_at_rfc3339, g secret_seed.
//
// Properties: no crash and no leak; each function's error has the kind and
// message of the first failing input in its own documented order; with a
// 32-byte seed both functions accept exactly the same inputs; the hex of
// encode_evidence_sign_v1_hex decodes, field by field, to the EvidenceSignV1
// record of the inputs, and those bytes are exactly what the payee signature
// of sign_payee_evidence_binding_json verifies over (libsodium).
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "blake3.h"
#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/trim.hpp"
#include "encoding/uuid.hpp"
#include "base/error.hpp"
#include "functions/evidence_binding.hpp"
#include "functions/wire_golden.hpp"
#include "fuzz_support.hpp"

namespace fuzz {

struct EvidenceInput {
  std::string_view tenant_id, intent_id, payee_did, payload_json;
  std::vector<std::string> artifacts_hex;
  std::string_view submitted_at;
  std::vector<std::uint8_t> secret_seed;
};

inline EvidenceInput evidence_input(const std::uint8_t* data, std::size_t size) {
  const Fields f(data, size, 7);
  return {
      .tenant_id = f.text(0, "tenant-7"),
      .intent_id = f.text(1, "123e4567-e89b-12d3-a456-426614174000"),
      .payee_did = f.text(2, "did:example:payee"),
      .payload_json = f.text(3, R"({"b": 1, "a": "x"})"),
      .artifacts_hex = f.list(4, {std::string(64, '1'), " 0x" + std::string(64, 'A') + "\t"}),
      .submitted_at = f.text(5, "2025-03-01t12:00:00.500+00:00"),
      .secret_seed = f.bytes(6, "payee-seed-0123456789abcdefghij!"),
  };
}

// An artifact's 32 bytes, or the reason it is refused.
struct ArtifactCheck {
  std::optional<std::array<std::uint8_t, 32>> hash;
  std::string reason;  // "bad hex (...)" or "expected 32 bytes, got n"
};

inline ArtifactCheck check_artifact(std::string_view text) {
  std::string_view digits = corvane::encoding::trim_white_space(text);
  if (digits.starts_with("0x")) digits.remove_prefix(2);
  const auto bytes = corvane::encoding::decode_hex(digits);
  if (!bytes) return {std::nullopt, "bad hex (" + bytes.error().message + ")"};
  if (bytes->size() != 32) return {std::nullopt, "expected 32 bytes, got " + std::to_string(bytes->size())};
  std::array<std::uint8_t, 32> hash;
  std::copy(bytes->begin(), bytes->end(), hash.begin());
  return {hash, ""};
}

struct ExpectedError {
  corvane::ErrorKind kind;
  std::string message;
};

inline std::optional<ExpectedError> expected_sign_error(const EvidenceInput& in) {
  using namespace corvane::encoding;
  using corvane::ErrorKind;
  if (in.secret_seed.size() != 32) {
    return ExpectedError{ErrorKind::value, "secret_seed must be exactly 32 bytes (Ed25519 signing key seed)"};
  }
  if (auto id = parse_uuid(in.intent_id); !id) return ExpectedError{ErrorKind::value, "intent_id: " + id.error().message};
  if (auto v = read_json(in.payload_json); !v) return ExpectedError{ErrorKind::value, "payload_json: " + v.error().message};
  if (auto t = parse_rfc3339(in.submitted_at); !t) {
    return ExpectedError{ErrorKind::value, "submitted_at_rfc3339: " + t.error().message};
  }
  for (std::size_t i = 0; i < in.artifacts_hex.size(); ++i) {
    const ArtifactCheck artifact = check_artifact(in.artifacts_hex[i]);
    if (!artifact.hash) {
      return ExpectedError{ErrorKind::runtime, "artifact[" + std::to_string(i) + "]: artifact: " + artifact.reason};
    }
  }
  return std::nullopt;
}

inline std::optional<ExpectedError> expected_encode_error(const EvidenceInput& in) {
  using namespace corvane::encoding;
  using corvane::ErrorKind;
  if (auto v = read_json(in.payload_json); !v) return ExpectedError{ErrorKind::value, "payload_json: " + v.error().message};
  if (auto id = parse_uuid(in.intent_id); !id) return ExpectedError{ErrorKind::runtime, "intent_id: " + id.error().message};
  for (std::size_t i = 0; i < in.artifacts_hex.size(); ++i) {
    const ArtifactCheck artifact = check_artifact(in.artifacts_hex[i]);
    if (!artifact.hash) {
      return ExpectedError{ErrorKind::runtime, "artifacts_hex[" + std::to_string(i) + "]: " + artifact.reason};
    }
  }
  if (auto t = parse_rfc3339(in.submitted_at); !t) {
    return ExpectedError{ErrorKind::runtime, "submitted_at_rfc3339: " + t.error().message};
  }
  return std::nullopt;
}

template <class T>
void check_error_matches(const corvane::Expected<T>& result, const std::optional<ExpectedError>& expected,
                         std::string_view function) {
  const std::string context(function);
  if (result) {
    require(!expected, context + ": a result where an input fails", expected ? expected->message : "");
    return;
  }
  require(expected.has_value() && result.error().message == expected->message,
          context + ": wrong error, or an error out of order",
          result.error().message + "\n  expected: " + (expected ? expected->message : "a result"));
  require(result.error().kind == expected->kind, context + ": error raised as the wrong kind", result.error().message);
}

inline std::array<std::uint8_t, 32> blake3_of(std::span<const std::uint8_t> bytes) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, bytes.data(), bytes.size());
  std::array<std::uint8_t, 32> digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return digest;
}

// Reads the record back by the byte format: tag 02, text, UUID, text, two
// digests, text, and nothing after.
class RecordReader {
 public:
  explicit RecordReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t length() {
    const std::uint8_t first = byte();
    const int width = first == 0xFB ? 2 : first == 0xFC ? 4 : first == 0xFD ? 8 : 0;
    require(first < 0xFE, "record length uses a reserved marker");
    if (width == 0) return first;
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= std::uint64_t{byte()} << (8 * i);
    // The shortest form only.
    require(value > (width == 2 ? 250u : width == 4 ? 0xFFFFu : 0xFFFF'FFFFu), "record length not in shortest form");
    return value;
  }
  std::string_view text() {
    const std::uint64_t size = length();
    require(size <= bytes_.size() - at_, "record text runs past the end");
    const std::string_view value(reinterpret_cast<const char*>(bytes_.data() + at_), size);
    at_ += size;
    return value;
  }
  std::span<const std::uint8_t> fixed(std::size_t size) {
    require(size <= bytes_.size() - at_, "record field runs past the end");
    const auto value = bytes_.subspan(at_, size);
    at_ += size;
    return value;
  }
  std::uint8_t byte() { return fixed(1).front(); }
  bool at_end() const { return at_ == bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

inline void check_record(const EvidenceInput& in, std::span<const std::uint8_t> record) {
  using namespace corvane::encoding;
  RecordReader reader(record);
  require(reader.byte() == 2, "record tag is not 2");
  require(reader.text() == in.tenant_id, "record tenant_id differs");
  require(reader.byte() == 16, "record UUID length is not 16");
  const auto id = reader.fixed(16);
  require(std::ranges::equal(id, *parse_uuid(in.intent_id)), "record intent_id differs");
  require(reader.text() == in.payee_did, "record payee_did differs");
  const std::string canonical = to_json(*read_json(in.payload_json));
  require(std::ranges::equal(reader.fixed(32),
                             blake3_of({reinterpret_cast<const std::uint8_t*>(canonical.data()), canonical.size()})),
          "record payload digest is not BLAKE3 of the canonical payload");
  std::vector<std::uint8_t> hashes;
  for (const std::string& artifact : in.artifacts_hex) {
    const auto hash = *check_artifact(artifact).hash;
    hashes.insert(hashes.end(), hash.begin(), hash.end());
  }
  require(std::ranges::equal(reader.fixed(32), blake3_of(hashes)), "record artifact digest differs");
  require(reader.text() == *format_rfc3339(*parse_rfc3339(in.submitted_at)), "record submission time differs");
  require(reader.at_end(), "record has trailing bytes");
}

inline void check_submission(const EvidenceInput& in, const std::string& doc, std::span<const std::uint8_t> record) {
  using namespace corvane::encoding;
  std::string expected_head = "{\"payload\":" + to_json(*read_json(in.payload_json)) + ",\"artifacts\":[";
  for (std::size_t i = 0; i < in.artifacts_hex.size(); ++i) {
    if (i != 0) expected_head += ',';
    expected_head += '"';
    append_hex(*check_artifact(in.artifacts_hex[i]).hash, expected_head);
    expected_head += '"';
  }
  expected_head += "],\"payee_did\":";
  append_json_string(in.payee_did, expected_head);
  expected_head += ",\"payee_pubkey\":\"";
  require(doc.starts_with(expected_head), "submission document head differs", doc);

  std::array<std::uint8_t, 32> public_key;
  std::array<std::uint8_t, 64> secret;
  crypto_sign_seed_keypair(public_key.data(), secret.data(), in.secret_seed.data());
  sodium_memzero(secret.data(), secret.size());
  std::string key_text(sodium_base64_ENCODED_LEN(32, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(key_text.data(), key_text.size(), public_key.data(), public_key.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  key_text.pop_back();
  std::string_view rest = std::string_view(doc).substr(expected_head.size());
  require(rest.starts_with(key_text + "\",\"payee_signature\":\""), "payee_pubkey differs", doc);
  rest.remove_prefix(key_text.size() + 21);
  require(rest.size() > 88, "submission document ends early", doc);
  std::array<std::uint8_t, 64> signature;
  std::size_t signature_size = 0;
  require(sodium_base642bin(signature.data(), signature.size(), rest.data(), 88, nullptr, &signature_size, nullptr,
                            sodium_base64_VARIANT_ORIGINAL) == 0 &&
              signature_size == 64,
          "payee_signature is not 64 bytes in base64", doc);
  rest.remove_prefix(88);
  const std::string tail =
      "\",\"submitted_at\":\"" + *format_rfc3339(*parse_rfc3339(in.submitted_at)) + "\"}";
  require(rest == tail, "submission document tail differs", doc);
  require(crypto_sign_verify_detached(signature.data(), record.data(), record.size(), public_key.data()) == 0,
          "payee_signature does not verify over the encode_evidence_sign_v1_hex bytes", doc);
}

// Runs `primary` (the target's function) and, when both have results to
// compare, the other one too.
inline void check_evidence(const std::uint8_t* data, std::size_t size, bool sign_first) {
  static const bool sodium_ready = sodium_init() >= 0;
  require(sodium_ready, "sodium_init failed");
  const EvidenceInput in = evidence_input(data, size);
  const auto sign = [&] {
    return corvane::functions::sign_payee_evidence_binding_json({in.tenant_id, in.intent_id, in.payee_did,
                                                                in.payload_json, in.artifacts_hex, in.submitted_at,
                                                                in.secret_seed});
  };
  const auto encode = [&] {
    return corvane::functions::encode_evidence_sign_v1_hex(
        {in.tenant_id, in.intent_id, in.payee_did, in.payload_json, in.artifacts_hex, in.submitted_at});
  };

  std::optional<corvane::Expected<std::string>> signed_doc, encoded;
  if (sign_first) {
    signed_doc = sign();
    check_error_matches(*signed_doc, expected_sign_error(in), "sign_payee_evidence_binding_json");
    if (in.secret_seed.size() != 32) return;
    encoded = encode();
    check_error_matches(*encoded, expected_encode_error(in), "encode_evidence_sign_v1_hex");
  } else {
    encoded = encode();
    check_error_matches(*encoded, expected_encode_error(in), "encode_evidence_sign_v1_hex");
    if (!*encoded || in.secret_seed.size() != 32) return;
    signed_doc = sign();
    check_error_matches(*signed_doc, expected_sign_error(in), "sign_payee_evidence_binding_json");
  }
  // With a valid seed the two check the same inputs, in different orders.
  if (signed_doc->ok() != encoded->ok()) {
    finding("the evidence functions disagree on acceptance",
            signed_doc->ok() ? encoded->error().message : signed_doc->error().message);
  }
  if (!signed_doc->ok()) return;

  const std::string& hex = **encoded;
  require(hex.size() % 2 == 0 && std::ranges::all_of(hex, [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
          }),
          "encode_evidence_sign_v1_hex is not lower-case hex", hex);
  const auto record = corvane::encoding::decode_hex(hex);
  check_record(in, *record);
  check_submission(in, **signed_doc, *record);
}

}  // namespace fuzz
