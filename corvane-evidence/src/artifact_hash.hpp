// Artifact hashes as callers pass them: 32 bytes in hex, optionally behind
// "0x" and white space.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.hpp"
#include "base/expected.hpp"

namespace corvane::evidence {

// The input an artifact fault names (Error::input).
inline constexpr std::string_view kArtifactsInput = "artifacts_hex";

// Decodes every artifact in list order: trims White_Space, drops one leading
// "0x" (lower-case x only) and decodes the rest as hex that must give exactly
// 32 bytes. The first failure ends the list with a RuntimeError fault whose
// index is the element's and whose message is the reason alone: "bad hex ({decoder
// message})" or "expected 32 bytes, got {n}".
Expected<std::vector<Digest>> decode_artifact_hashes(std::span<const std::string> texts);

}  // namespace corvane::evidence
