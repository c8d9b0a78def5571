// Floats that a body cannot carry: the writer gives the shortest text that a
// correctly rounded reading turns back into the value, but the reader, which
// rounds twice, can read that text as a neighbouring value. The body then
// holds a number the signature covers and the service never reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.hpp"
#include "encoding/json_value.hpp"

namespace corvane::functions {

struct MisreadNumber {
  std::string_view member;   // the top-level member it is in, as its key is written
  std::string_view written;  // the number's text in the body
  std::string read_as;       // the text of the value the reader gives
};

// The first such float of a JSON text in the order the text holds them. Only
// texts the writer could have produced count: "1e2" reads as 100.0, whose
// text differs, but no value is written "1e2".
std::optional<MisreadNumber> first_misread_number(std::string_view json_text);

struct AsWritten {
  encoding::JsonValue value;
  MisreadNumber first;
};

// `value`, read from `json_text`, with each such float replaced by the value
// its text was written from. Nothing when there is none, or when the texts
// cannot be paired with the value's numbers (a repeated key, say): pairing
// goes by order, which for the compact text the writer makes is the value's.
std::optional<AsWritten> numbers_as_written(std::string_view json_text, const encoding::JsonValue& value);

struct MisreadNumberRequest {
  std::string_view body;
};

// For a body a builder returned: the member, the number's text and the text
// of what it reads back as, or nothing when every float reads back as itself.
Expected<std::vector<std::string>> misread_number(const MisreadNumberRequest& request);

}  // namespace corvane::functions
