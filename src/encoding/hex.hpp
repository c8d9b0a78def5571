// Hexadecimal text form of byte strings.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/bytes.hpp"
#include "base/expected.hpp"

namespace corvane::encoding {

// Two digits per byte, high nibble first; both letter cases are digits. The
// text is used as given (no trimming) and may have any length; callers check
// the byte count they need. Fails with "Odd number of digits" (checked before
// any digit) or "Invalid character {c} at position {i}", where {c} is the
// offending byte as a quoted character literal and {i} its byte offset.
Expected<ByteVector> decode_hex(std::string_view text);

// decode_hex into a fixed number of bytes, with no allocation: the same
// errors, then false (`out` unspecified) when the text holds another number
// of bytes.
Expected<bool> decode_hex_exact(std::string_view text, std::span<std::uint8_t> out);

// Lower-case digits, no prefix, no separators.
std::string encode_hex(std::span<const std::uint8_t> bytes);
void append_hex(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace corvane::encoding
