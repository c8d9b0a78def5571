// Artifact hashes as callers pass them: 32 bytes in hex, optionally behind
// "0x" and white space.
#pragma once

#include <string>
#include <string_view>

#include "encoding/bytes.hpp"
#include "encoding/expected.hpp"

namespace corvane::evidence {

// Trims White_Space, drops one leading "0x" (lower-case x only) and decodes
// the rest as hex that must give exactly 32 bytes. The error is the reason
// alone, "bad hex ({decoder message})" or "expected 32 bytes, got {n}"; each
// caller puts its own prefix before it.
Expected<Bytes32> decode_artifact_hash(std::string_view text);

}  // namespace corvane::evidence
