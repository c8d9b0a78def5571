// What of a request body the JSON reader does not read back as written.
//
// The builders write a body from values they read, and the service reads the
// body again with the same reader. Two things do not survive that: a
// document nested as deep as the reader takes, which the body nests one level
// deeper; and some floats, whose shortest text (the one a correctly rounded
// reading turns back into the value) the reader, rounding twice, reads as a
// neighbouring value. Either way the service cannot verify the body.
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

struct AsWritten {
  encoding::JsonValue value;
  MisreadNumber first;
};

// The value `json_text` holds, with each misread float replaced by the value
// its text was written from. Only texts the writer could have produced
// count ("1e2" reads as 100.0, whose text differs, but no value is written
// "1e2"). Nothing when there is none, or when the texts cannot be paired with
// the value's numbers (a repeated key, say): pairing goes by order, which for
// the compact text the writer makes is the value's.
std::optional<AsWritten> numbers_as_written(std::string_view json_text);

// The first top-level member of a body the builders made that the reader
// cannot read back, and why: "nests 127 levels deep, 128 inside the body: one
// more than the reader takes", "the number {text} reads back as {text}" or
// "the number {text} is out of the reader's range".
struct ReadBackFault {
  std::string_view member;
  std::string problem;
};
std::optional<ReadBackFault> first_read_back_fault(std::string_view body);

struct ReadBackRequest {
  std::string_view body;
};

// first_read_back_fault as [member, problem], or [] when the body reads back.
Expected<std::vector<std::string>> read_back_fault(const ReadBackRequest& request);

}  // namespace corvane::functions
