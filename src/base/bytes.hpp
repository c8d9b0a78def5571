// Byte values shared by every layer: buffers, digests and other 32-byte values.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace corvane {

using ByteVector = std::vector<std::uint8_t>;
using Bytes32 = std::array<std::uint8_t, 32>;
using Digest = Bytes32;

}  // namespace corvane
