// Base64 text form (RFC 4648 standard alphabet, "=" padding) of byte strings.
// Only ever written: keys and signatures leave the module in this form.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane::encoding {

std::string encode_base64(std::span<const std::uint8_t> bytes);
void append_base64(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace corvane::encoding
