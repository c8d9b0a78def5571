#include "evidence/artifact_hash.hpp"

#include <algorithm>

#include "encoding/hex.hpp"
#include "encoding/trim.hpp"

namespace corvane::evidence {
namespace {

Expected<Digest> decode_artifact_hash(std::string_view text) {
  std::string_view digits = encoding::trim_white_space(text);
  if (digits.starts_with("0x")) digits.remove_prefix(2);
  auto bytes = encoding::decode_hex(digits);
  if (!bytes) return fail("bad hex (" + bytes.error().message + ")");
  if (bytes->size() != 32) return fail("expected 32 bytes, got " + std::to_string(bytes->size()));
  Digest hash;
  std::copy(bytes->begin(), bytes->end(), hash.begin());
  return hash;
}

}  // namespace

Expected<std::vector<Digest>> decode_artifact_hashes(std::span<const std::string> texts) {
  std::vector<Digest> hashes;
  hashes.reserve(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    auto hash = decode_artifact_hash(texts[i]);
    if (!hash) {
      Error fault = std::move(hash).error();
      fault.kind = ErrorKind::runtime;
      fault.input = kArtifactsInput;
      fault.index = i;
      return fail(std::move(fault));
    }
    hashes.push_back(*hash);
  }
  return hashes;
}

}  // namespace corvane::evidence
