// JSON reader and compact writer, from arbitrary text.
//
// Properties:
// - reading never crashes; an error is "{reason} at line {l} column {c}" with
//   a documented reason and a position inside the text;
// - an accepted document's compact text (its canonical text) is accepted too,
//   gives the same value, the same text again and the same content digest;
// - the content digest is BLAKE3 of the compact text, and writing in pieces
//   of any size gives that same text;
// - the one-pass canonical writer gives the same text, digest and error;
// - the array-of-strings reader agrees with read_json on arrays of strings,
//   and otherwise fails as read_json does or with an "invalid type" reason.
//
// Floats are the exception to exact round trips: the reader is deliberately
// not correctly rounded (one rounded multiplication or division by a power of
// ten, as the service computes it), so reading back the shortest digits of a
// float can give a neighbouring double, and then the second text and digest
// differ from the first. For documents holding floats the checks are that the
// canonical text is accepted and reads back to the same structure, with every
// float within two units in the last place of the original.
#include <algorithm>
#include <array>
#include <bit>
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

constexpr std::array<std::string_view, 22> kReasons = {
    "EOF while parsing a list",
    "EOF while parsing an object",
    "EOF while parsing a string",
    "EOF while parsing a value",
    "expected `:`",
    "expected `,` or `]`",
    "expected `,` or `}`",
    "expected ident",
    "expected value",
    "expected `\"`",
    "invalid escape",
    "invalid number",
    "number out of range",
    "invalid unicode code point",
    "control character (\\u0000-\\u001F) found while parsing a string",
    "key must be a string",
    "lone leading surrogate in hex escape",
    "trailing comma",
    "trailing characters",
    "unexpected end of hex escape",
    "recursion limit exceeded",
    "invalid type: ",  // only from the array-of-strings reader; checked there
};

bool is_decimal(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The reason, after checking that the position names a place in `text`.
std::string_view check_error(std::string_view text, std::string_view message) {
  const std::size_t at = message.rfind(" at line ");
  fuzz::require(at != std::string_view::npos, "JSON error without a position", message);
  const std::string_view reason = message.substr(0, at);
  const std::string_view position = message.substr(at + 9);
  const std::size_t column_at = position.find(" column ");
  fuzz::require(column_at != std::string_view::npos, "JSON error without a column", message);
  const std::string_view line_text = position.substr(0, column_at);
  const std::string_view column_text = position.substr(column_at + 8);
  fuzz::require(is_decimal(line_text) && is_decimal(column_text) && line_text.size() < 19 && column_text.size() < 19,
                "JSON error position is not decimal", message);
  const std::size_t line = std::stoull(std::string(line_text));
  const std::size_t column = std::stoull(std::string(column_text));

  // The line must exist, and the column may count at most all of its bytes.
  std::size_t line_start = 0;
  for (std::size_t l = 1; l < line; ++l) {
    const std::size_t feed = text.find('\n', line_start);
    fuzz::require(feed != std::string_view::npos, "JSON error names a line past the end", message);
    line_start = feed + 1;
  }
  const std::size_t line_end = std::min(text.find('\n', line_start), text.size());
  fuzz::require(line >= 1 && column <= line_end - line_start, "JSON error column outside its line", message);
  return reason;
}

void check_read_error(std::string_view text, std::string_view message) {
  const std::string_view reason = check_error(text, message);
  fuzz::require(std::find(kReasons.begin(), kReasons.end() - 1, reason) != kReasons.end() - 1,
                "read_json error with an undocumented reason", message);
}

bool holds_float(const JsonValue& value) {
  switch (value.kind()) {
    case JsonKind::floating:
      return true;
    case JsonKind::array:
      return std::any_of(value.as_array().begin(), value.as_array().end(), holds_float);
    case JsonKind::object:
      return std::any_of(value.as_object().begin(), value.as_object().end(),
                         [](const auto& member) { return holds_float(member.value()); });
    default:
      return false;
  }
}

// Distance in units in the last place between two finite doubles of one sign.
std::uint64_t ulps_apart(double a, double b) {
  const auto x = std::bit_cast<std::uint64_t>(a);
  const auto y = std::bit_cast<std::uint64_t>(b);
  if ((x >> 63) != (y >> 63)) return (x << 1 >> 1) + (y << 1 >> 1);  // across zero
  return x > y ? x - y : y - x;
}

bool same_up_to_float_rounding(const JsonValue& a, const JsonValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JsonKind::floating:
      return ulps_apart(a.as_float(), b.as_float()) <= 2;
    case JsonKind::array:
      return std::ranges::equal(a.as_array(), b.as_array(), same_up_to_float_rounding);
    case JsonKind::object:
      return std::ranges::equal(a.as_object(), b.as_object(), [](const auto& x, const auto& y) {
        return x.key() == y.key() && same_up_to_float_rounding(x.value(), y.value());
      });
    default:
      return a == b;
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

void check_accepted(std::string_view text, const JsonValue& value, std::size_t piece_size) {
  using namespace corvane::encoding;
  const std::string canonical = to_json(value);
  const corvane::Digest digest = content_digest(value);
  fuzz::require(digest == blake3_of(canonical), "content digest is not BLAKE3 of the compact text", canonical);

  std::string pieces;
  const std::size_t largest_piece = std::max<std::size_t>(piece_size, 32);  // the writer's documented floor
  write_json_in_pieces(value, piece_size, [&](std::string_view piece) {
    fuzz::require(!piece.empty() && piece.size() <= largest_piece, "a written piece has the wrong size",
                  std::to_string(piece.size()) + " bytes, at most " + std::to_string(largest_piece) + " expected");
    pieces += piece;
  });
  fuzz::require(pieces == canonical, "writing in pieces differs from writing at once", canonical);

  std::string one_pass = "prefix";
  const auto kind = append_canonical_json(text, one_pass);
  fuzz::require(kind.ok() && *kind == value.kind() && one_pass == "prefix" + canonical,
                "the one-pass canonical text differs from the value's", canonical);
  fuzz::require(content_digest_of_json(text).value() == digest, "the one-pass digest differs from the value's");

  auto reread = read_json(canonical);
  if (!reread) fuzz::finding("canonical text is refused", reread.error().message + "\n  text: " + canonical);
  if (!holds_float(value)) {
    fuzz::require(*reread == value, "canonical text reads as another value", canonical);
    fuzz::require(to_json(*reread) == canonical, "write, read, write changes the text", canonical);
    fuzz::require(content_digest(*reread) == digest, "canonical text has another digest", canonical);
  } else {
    fuzz::require(same_up_to_float_rounding(*reread, value), "canonical text reads as another structure",
                  canonical);
  }
}

void check_string_array(std::string_view text, const corvane::Expected<JsonValue>& value) {
  const auto strings = corvane::encoding::read_json_string_array(text);
  bool array_of_strings = false;
  if (value && value->kind() == JsonKind::array) {
    const auto items = value->as_array();
    array_of_strings = std::all_of(items.begin(), items.end(),
                                   [](const JsonValue& item) { return item.kind() == JsonKind::string; });
    if (array_of_strings) {
      fuzz::require(strings.ok(), "array of strings refused by the array-of-strings reader",
                    strings.ok() ? std::string_view() : strings.error().message);
      fuzz::require(std::ranges::equal(*strings, items,
                                       [](const std::string& s, const JsonValue& v) { return s == v.as_string(); }),
                    "array-of-strings reader gives other strings");
      return;
    }
  }
  fuzz::require(!strings.ok(), "array-of-strings reader accepts what is no array of strings", text);
  const std::string_view reason = check_error(text, strings.error().message);
  if (reason.starts_with("invalid type: ")) {
    fuzz::require(reason.ends_with(", expected a sequence") || reason.ends_with(", expected a string"),
                  "invalid type names an undocumented expectation", strings.error().message);
    return;
  }
  // A syntax error came before any value of the wrong type, where read_json
  // is at the same point of the same text.
  fuzz::require(!value.ok() && value.error().message == strings.error().message,
                "array-of-strings reader and read_json disagree on a syntax error",
                strings.error().message + "\n  read_json: " + (value.ok() ? std::string("accepted") : value.error().message));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    const std::string_view text = fuzz::as_text(data, size);
    const auto value = corvane::encoding::read_json(text);
    if (value) {
      check_accepted(text, *value, 1 + size % 61);
    } else {
      check_read_error(text, value.error().message);
      std::string one_pass = "prefix";
      const auto kind = corvane::encoding::append_canonical_json(text, one_pass);
      fuzz::require(!kind.ok() && kind.error().message == value.error().message && one_pass == "prefix",
                    "the one-pass reader fails otherwise", value.error().message);
    }
    check_string_array(text, value);
  });
}
