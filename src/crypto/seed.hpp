// The one check a caller's seed gets before a key is made from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/expected.hpp"

namespace corvane::crypto {

// A seed of the right length, viewed in the caller's buffer.
using Seed = std::span<const std::uint8_t, 32>;

// The seed as a fixed-size view, or the ValueError "{parameter} must be
// exactly 32 bytes (Ed25519 signing key seed)".
inline Expected<Seed> checked_seed(std::span<const std::uint8_t> bytes, std::string_view parameter) {
  if (bytes.size() != 32) {
    return value_error(std::string(parameter) + " must be exactly 32 bytes (Ed25519 signing key seed)");
  }
  return Seed(bytes.data(), 32);
}

}  // namespace corvane::crypto
