// Artifact hashes as callers pass them: 32 bytes in hex, optionally behind
// "0x" and white space.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "encoding/bytes.hpp"
#include "encoding/expected.hpp"

namespace corvane::evidence {

// The first artifact of a list that does not decode, and why: the reason
// alone, "bad hex ({decoder message})" or "expected 32 bytes, got {n}"; each
// caller puts its own prefix before it.
struct ArtifactFault {
  std::size_t index;
  std::string reason;
};

// Decodes every artifact in list order: trims White_Space, drops one leading
// "0x" (lower-case x only) and decodes the rest as hex that must give exactly
// 32 bytes. The first failure ends the list.
Expected<std::vector<Digest>, ArtifactFault> decode_artifact_hashes(std::span<const std::string> texts);

}  // namespace corvane::evidence
