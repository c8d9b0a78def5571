#include "encoding/content_digest.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "blake3.h"
#include "encoding/canonical_json.hpp"
#include "encoding/json_writer.hpp"
#include "encoding/trim.hpp"

namespace corvane::encoding {
namespace {

// Large enough for BLAKE3 to hash several chunks in parallel, small enough
// that the canonical text is never held whole.
constexpr std::size_t kPieceSize = 64 * 1024;

class Hasher {
 public:
  Hasher() { blake3_hasher_init(&state_); }
  void update(std::string_view bytes) { blake3_hasher_update(&state_, bytes.data(), bytes.size()); }
  void update(const Digest& bytes) { blake3_hasher_update(&state_, bytes.data(), bytes.size()); }
  Digest finish() {
    Digest digest;
    blake3_hasher_finalize(&state_, digest.data(), digest.size());
    return digest;
  }

 private:
  blake3_hasher state_;
};

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

Digest content_digest(const JsonValue& value) {
  Hasher hasher;
  write_json_in_pieces(value, kPieceSize, [&](std::string_view piece) { hasher.update(piece); });
  return hasher.finish();
}

Digest content_digest(const CanonicalJson& json) {
  Hasher hasher;
  hasher.update(json.text);
  return hasher.finish();
}

Expected<Digest> content_digest_of_json(std::string_view text) {
  Hasher hasher;
  auto read = with_canonical_json(text, [&](std::string_view canonical) { hasher.update(canonical); });
  if (!read) return fail(std::move(read).error());
  return hasher.finish();
}

Digest allowed_tools_digest(std::span<const std::string> tools) {
  std::vector<std::string> names;
  names.reserve(tools.size());
  for (const std::string& tool : tools) {
    std::string name(trim_white_space(tool));
    std::transform(name.begin(), name.end(), name.begin(), ascii_lower);
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());

  // The canonical text of the array of names, hashed as it is written.
  Hasher hasher;
  std::string text = "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) text += ',';
    append_json_string(names[i], text);
    if (text.size() >= kPieceSize) {
      hasher.update(text);
      text.clear();
    }
  }
  text += ']';
  hasher.update(text);
  return hasher.finish();
}

Digest artifact_list_digest(std::span<const Digest> artifacts) {
  Hasher hasher;
  for (const Digest& artifact : artifacts) hasher.update(artifact);
  return hasher.finish();
}

}  // namespace corvane::encoding
