// Base64 text form (RFC 4648 standard alphabet, "=" padding) of byte strings:
// keys and signatures leave the module in this form, and come back in it when
// a request body is checked.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/bytes.hpp"
#include "base/expected.hpp"

namespace corvane::encoding {

std::string encode_base64(std::span<const std::uint8_t> bytes);
void append_base64(std::span<const std::uint8_t> bytes, std::string& out);

// Decodes only the one text that encode_base64 writes for the bytes: the
// standard alphabet, padded to a multiple of four, the unused bits of the
// last character zero, and nothing else (no white space, no line breaks, no
// URL-safe letters). Anything looser would let several texts stand for one
// key or signature. Fails, checked in this order, with
// "Invalid length {n}: not a multiple of 4",
// "Invalid character {c} at position {i}" ("=" counts as one before the
// padding), or "Unused bits of {c} at position {i} are not zero", where {c}
// is a character literal as decode_hex shows it and {i} a byte offset.
Expected<ByteVector> decode_base64(std::string_view text);

}  // namespace corvane::encoding
