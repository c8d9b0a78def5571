// Trimming by the Unicode White_Space property.
#pragma once

#include <string_view>

namespace corvane::encoding {

// Removes every leading and trailing character with the Unicode White_Space
// property (U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000) from UTF-8 text.
std::string_view trim_white_space(std::string_view text);

}  // namespace corvane::encoding
