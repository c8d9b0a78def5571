// UUIDs: the four accepted text forms with their exact messages, and the
// lower-case hyphenated text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/expected.hpp"

namespace corvane::encoding {

// The 16 bytes in the order their hex digit pairs appear in the text.
using Uuid = std::array<std::uint8_t, 16>;

// Accepts, by byte length: 32 hex digits; 36-character hyphenated 8-4-4-4-12;
// the hyphenated form in braces (38); "urn:uuid:" and the hyphenated form (45).
// Hex digits may be of either case. The text is used exactly as given.
corvane::Expected<Uuid> parse_uuid(std::string_view text);

// 36 characters, lower-case, hyphenated 8-4-4-4-12.
std::string format_uuid(const Uuid& uuid);

}  // namespace corvane::encoding
