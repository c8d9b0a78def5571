// BLAKE3 digests of JSON values and of the lists that signing payloads carry.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/json_value.hpp"

namespace corvane::encoding {

// BLAKE3 (plain mode, 32 bytes) of the compact text of `value`, which is its
// canonical text since objects hold their members in key order.
Digest content_digest(const JsonValue& value);

// The same, from the value's canonical text.
Digest content_digest(const CanonicalJson& json);

// The content digest of the value that JSON `text` holds, or the reader's
// error; the value itself is never built.
Expected<Digest> content_digest_of_json(std::string_view text);

// The content digest of the JSON array of the tool names trimmed of Unicode
// white space, lower-cased in ASCII, sorted by bytes and with repeats removed.
// Only the set of names counts, not their order, case or spacing.
Digest allowed_tools_digest(std::span<const std::string> tools);

// BLAKE3 of the artifact hashes concatenated in the given order.
Digest artifact_list_digest(std::span<const Digest> artifacts);

}  // namespace corvane::encoding
