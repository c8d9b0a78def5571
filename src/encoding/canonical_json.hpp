// Canonical text straight from JSON text, with no value built in between:
// what a digest and a returned document need of an input, in one pass.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/expected.hpp"
#include "encoding/json_value.hpp"

namespace corvane::encoding {

// Reads `text` exactly as read_json does (the same texts are accepted, with
// the same error messages) and appends the compact text of the value it holds,
// which is its canonical text, to `out`. On an error `out` is left as it was.
// Returns the kind of the top-level value.
Expected<JsonKind> append_canonical_json(std::string_view text, std::string& out);

// The same, handing the canonical text to `consume` in one piece, held only
// for that call.
Expected<JsonKind> with_canonical_json(std::string_view text, const std::function<void(std::string_view)>& consume);

// A JSON input kept as its canonical text: all that its digest and a returned
// document need of it, in about the size of the input.
struct CanonicalJson {
  std::string text;
  JsonKind kind = JsonKind::null;
};

// Reads `text` as read_json does, into its canonical text.
Expected<CanonicalJson> read_canonical_json(std::string_view text);

// The canonical text of a value already read.
CanonicalJson canonical_json(const JsonValue& value);

// Appends the compact text of the value, which is its canonical text.
inline void append_json(const CanonicalJson& json, std::string& out) { out += json.text; }

}  // namespace corvane::encoding
