// How a decoder's message shows the byte it refused.
#pragma once

#include <cstdint>
#include <string>

namespace corvane::encoding {

// The byte taken as the code point U+0000..U+00FF, written as a character
// literal in single quotes, in UTF-8: 'g', '\'', '\\', '\t', '\r', '\n',
// '\0', '\u{7f}' for other characters that are not printable, and 'Ã' for
// the byte 0xC3.
std::string character_literal(std::uint8_t c);

}  // namespace corvane::encoding
