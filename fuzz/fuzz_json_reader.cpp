// JSON reader and compact writer, from arbitrary text: no crash; the same
// answer twice; an accepted document's compact text reads back (to the same
// value and text, unless it holds floats, which the reader rounds once and so
// may read as a neighbouring double); writing in pieces gives the same text;
// the one-pass canonical reader gives that text, its BLAKE3 as the digest and
// the tree reader's error; the array-of-strings reader agrees with read_json
// on arrays of strings.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "blake3.h"
#include "encoding/canonical_json.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/json_writer.hpp"
#include "fuzz_support.hpp"

namespace {

using corvane::encoding::JsonKind;
using corvane::encoding::JsonValue;

bool holds_float(const JsonValue& value) {
  switch (value.kind()) {
    case JsonKind::floating:
      return true;
    case JsonKind::array:
      return std::ranges::any_of(value.as_array(), holds_float);
    case JsonKind::object:
      return std::ranges::any_of(value.as_object(), [](const auto& m) { return holds_float(m.value()); });
    default:
      return false;
  }
}

corvane::Digest blake3_of(std::string_view text) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, text.data(), text.size());
  corvane::Digest digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return digest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    const std::string_view text = fuzz::as_text(data, size);
    const auto value = read_json(text);
    const auto again = read_json(text);
    fuzz::require(value.ok() == again.ok() && (value ? *value == *again : value.error().message == again.error().message),
                  "reading twice gives two answers", text);
    const auto strings = read_json_string_array(text);
    if (value && value->kind() == JsonKind::array &&
        std::ranges::all_of(value->as_array(), [](const JsonValue& v) { return v.kind() == JsonKind::string; })) {
      fuzz::require(strings && std::ranges::equal(*strings, value->as_array(), [](const auto& s, const auto& v) {
                      return s == v.as_string();
                    }), "the array-of-strings reader reads an array of strings otherwise", text);
    } else {
      fuzz::require(!strings, "the array-of-strings reader accepts what is no array of strings", text);
    }
    std::string one_pass = "prefix";
    const auto kind = append_canonical_json(text, one_pass);
    if (!value) {
      fuzz::require(!kind && kind.error().message == value.error().message && one_pass == "prefix",
                    "the one-pass reader fails otherwise", value.error().message);
      return;
    }

    const std::string canonical = to_json(*value);
    fuzz::require(kind && *kind == value->kind() && one_pass == "prefix" + canonical,
                  "the one-pass canonical text differs from the value's", canonical);
    fuzz::require(content_digest_of_json(text).value() == blake3_of(canonical),
                  "the digest is not BLAKE3 of the canonical text", canonical);
    std::string pieces;
    write_json_in_pieces(*value, 1 + size % 61, [&](std::string_view piece) { pieces += piece; });
    fuzz::require(pieces == canonical, "writing in pieces differs from writing at once", canonical);
    const auto reread = read_json(canonical);
    fuzz::require(reread.ok(), "canonical text is refused", canonical);
    if (!holds_float(*value)) {
      fuzz::require(*reread == *value && to_json(*reread) == canonical, "canonical text reads otherwise", canonical);
    }
  });
}
