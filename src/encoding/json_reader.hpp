// Reading JSON text into values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/expected.hpp"
#include "encoding/json_value.hpp"

namespace corvane::encoding {

// Reads one JSON value, surrounded by nothing but JSON white space. Nesting is
// limited to 127 arrays and objects. The error is the message to show:
// "{reason} at line {line} column {column}", where the line counts from 1 and
// the column is the number of bytes of that line up to and including the byte
// at which the error was found.
//
// The text is expected to be UTF-8 (it comes from Python str); other bytes are
// copied into strings as they are, never read out of bounds.
Expected<JsonValue> read_json(std::string_view text);

// Reads a JSON array whose elements are all strings. Any other value is
// refused with "invalid type: {found}, expected a sequence" (or "expected a
// string" for an element), positioned like every other error.
Expected<std::vector<std::string>> read_json_string_array(std::string_view text);

}  // namespace corvane::encoding
