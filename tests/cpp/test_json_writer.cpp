// Compact JSON writer: number forms, string escapes, member order, and the
// piecewise output that digests use.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "encoding/json_value.hpp"
#include "encoding/json_writer.hpp"

using namespace std::literals;
using corvane::encoding::append_json;
using corvane::encoding::append_json_float;
using corvane::encoding::append_json_string;
using corvane::encoding::JsonArray;
using corvane::encoding::JsonObject;
using corvane::encoding::JsonValue;
using corvane::encoding::to_json;
using corvane::encoding::write_json_in_pieces;

namespace {

std::string float_text(double value) {
  std::string out;
  append_json_float(value, out);
  return out;
}

std::string string_text(std::string_view text) {
  std::string out;
  append_json_string(text, out);
  return out;
}

void writes_floats() {
  struct Case {
    double value;
    std::string_view expected;
  };
  const Case cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-1.0, "-1.0"},
      {100.0, "100.0"},
      {123.45, "123.45"},
      {-123.45, "-123.45"},
      {0.1, "0.1"},
      {0.5, "0.5"},
      {1.5e-7, "1.5e-7"},
      // Fixed notation from 1e-5 up to below 1e16.
      {1e-5, "0.00001"},
      {1.25e-5, "0.0000125"},
      {9.999999999999999e-6, "9.999999999999999e-6"},
      {1e-6, "1e-6"},
      {1e15, "1000000000000000.0"},
      {1234567890123456.7, "1234567890123456.8"},
      {9999999999999998.0, "9999999999999998.0"},
      {1e16, "1e+16"},
      {1.5e16, "1.5e+16"},
      {12345678901234567890.0, "1.2345678901234567e+19"},
      {0x1p64, "1.8446744073709552e+19"},
      {1e100, "1e+100"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {-2.2250738585072014e-308, "-2.2250738585072014e-308"},
      {5e-324, "5e-324"},
      {0.30000000000000004, "0.30000000000000004"},
      {std::numeric_limits<double>::infinity(), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& c : cases) CHECK_EQ(float_text(c.value), std::string(c.expected));
}

void writes_integers() {
  CHECK_EQ(to_json(JsonValue(std::uint64_t{0})), "0");
  CHECK_EQ(to_json(JsonValue(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
  CHECK_EQ(to_json(JsonValue(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
  CHECK_EQ(to_json(JsonValue(-7)), "-7");
  CHECK(JsonValue(7).kind() == corvane::encoding::JsonKind::unsigned_integer);
}

void escapes_strings() {
  struct Case {
    std::string_view text;
    std::string_view expected;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"\"\\", "\"\\\"\\\\\""},
      {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
      {"\0\x01\x0b\x0e\x1f"sv, "\"\\u0000\\u0001\\u000b\\u000e\\u001f\""},
      {"\x1f/", "\"\\u001f/\""},
      // Everything else is copied: the solidus, DEL, C1 controls, line separators.
      {"/\x7f\xC2\x85\xE2\x80\xA8\xC3\xA9\xF0\x9F\x98\x80", "\"/\x7f\xC2\x85\xE2\x80\xA8\xC3\xA9\xF0\x9F\x98\x80\""},
      {"a\"b\nc", "\"a\\\"b\\nc\""},
  };
  for (const auto& c : cases) CHECK_EQ(string_text(c.text), std::string(c.expected));

  std::string out = "prefix:";
  append_json_string("x", out);
  CHECK_EQ(out, "prefix:\"x\"");
}

void writes_containers_compactly() {
  const JsonValue value(JsonObject{
      {"list", JsonArray{JsonValue(), true, false, 1, -1, 2.5, "s", JsonArray{}, JsonObject{}}},
      {"b", "short"},
      {"B", "a string longer than fourteen bytes"},
      {"a", JsonObject{{"y", 1}, {"x", 2}}},
  });
  const std::string expected =
      "{\"B\":\"a string longer than fourteen bytes\",\"a\":{\"x\":2,\"y\":1},\"b\":\"short\","
      "\"list\":[null,true,false,1,-1,2.5,\"s\",[],{}]}";
  CHECK_EQ(to_json(value), expected);

  // Built objects follow the same rule as read ones: key byte order, last repeat wins.
  const JsonValue repeated(JsonObject{{"b", 1}, {"a", 2}, {"b", 3}, {"\xC3\xA9", 4}, {"a", 5}});
  CHECK_EQ(to_json(repeated), "{\"a\":5,\"b\":3,\"\xC3\xA9\":4}");

  // Copies are deep and independent of the original.
  JsonValue copy = value;
  CHECK(copy == value);
  copy = JsonValue("replaced by a long string value");
  CHECK_EQ(to_json(value), expected);
  CHECK_EQ(to_json(copy), "\"replaced by a long string value\"");

  std::string out = "[";
  append_json(JsonValue(0.0), out);
  CHECK_EQ(out, "[0.0");
}

void writes_in_bounded_pieces() {
  const JsonValue value(JsonArray{std::string(100, 'x'), JsonObject{{"k\n", 12345}}, -0.0});
  const std::string expected = "[\"" + std::string(100, 'x') + "\",{\"k\\n\":12345},-0.0]";
  // Sizes below 32 are raised to 32, room for any number.
  for (const std::size_t piece_size : {std::size_t{1}, std::size_t{33}, std::size_t{64}, std::size_t{1000}}) {
    std::string joined;
    bool bounded = true;
    write_json_in_pieces(value, piece_size, [&](std::string_view piece) {
      bounded = bounded && !piece.empty() && piece.size() <= std::max<std::size_t>(piece_size, 32);
      joined += piece;
    });
    CHECK(bounded);
    CHECK_EQ(joined, expected);
  }
}

}  // namespace

int main() {
  writes_floats();
  writes_integers();
  escapes_strings();
  writes_containers_compactly();
  writes_in_bounded_pieces();
  return check::failures() != 0;
}
