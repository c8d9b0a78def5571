// JSON reader: accepted texts, numbers, errors with their positions, nesting,
// arrays of strings, and inputs large enough to expose quadratic behaviour.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "encoding/canonical_json.hpp"
#include "encoding/json_reader.hpp"
#include "encoding/json_writer.hpp"

using namespace std::literals;
using corvane::encoding::JsonKind;
using corvane::encoding::JsonValue;
using corvane::encoding::read_json;
using corvane::encoding::read_json_string_array;
using corvane::encoding::to_json;

namespace {

// The compact text of what `text` reads as, or the error message. Every case
// also runs through the one-pass canonical writer, which must agree exactly.
std::string outcome(std::string_view text) {
  auto value = read_json(text);
  std::string result = value ? to_json(*value) : "error: " + value.error().message;
  std::string appended = "prefix";
  auto kind = corvane::encoding::append_canonical_json(text, appended);
  const std::string one_pass = kind ? appended.substr(6) : "error: " + kind.error().message;
  if (one_pass != result || (!kind && appended != "prefix") || (kind && *kind != value->kind())) {
    return "one pass gave " + one_pass + " where the tree gave " + result;
  }
  return result;
}

std::string repeat(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

struct TextCase {
  std::string_view text;
  std::string_view expected;
};

void accepts_json_texts() {
  const TextCase cases[] = {
      {"null", "null"},
      {" \t\r\ntrue\n ", "true"},
      {"false", "false"},
      {"[]", "[]"},
      {"[ ]", "[]"},
      {"{}", "{}"},
      {" { } ", "{}"},
      {"[1, -2 ,3.5e0, \"x\" , null,true,false,[],{}]", "[1,-2,3.5,\"x\",null,true,false,[],{}]"},
      {"{\"a\" : [ {\"b\" :null} ] }", "{\"a\":[{\"b\":null}]}"},
      {"\"\"", "\"\""},
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\/\\b\\f\\n\\r\\t\""},
      {"\"\\u0041\\u00e9\\u00E9\\u20AC\"", "\"Aéé€\""},
      {"\"\\ud83d\\ude00\"", "\"\xF0\x9F\x98\x80\""},
      {"\"\\uDBFF\\uDFFF\"", "\"\xF4\x8F\xBF\xBF\""},
      {"\"\\u0000\"", "\"\\u0000\""},
      {"\"\x7F\xC2\x85/\"", "\"\x7F\xC2\x85/\""},  // DEL and C1 controls are not escaped
      {"\"\xE2\x80\xA8\"", "\"\xE2\x80\xA8\""},
      // Members come out in key byte order, and a repeated key keeps the last value.
      {"{\"b\":1,\"a\":2,\"B\":3}", "{\"B\":3,\"a\":2,\"b\":1}"},
      {"{\"a\":1,\"a\":2}", "{\"a\":2}"},
      {"{\"b\":0,\"a\":1,\"b\":2,\"a\":3,\"a\":4}", "{\"a\":4,\"b\":2}"},
      {"{\"aa\":1,\"a\":2,\"\":3}", "{\"\":3,\"a\":2,\"aa\":1}"},
      {"{\"\\u00e9\":1,\"z\":2}", "{\"z\":2,\"é\":1}"},
      {"{\"a\\u0000b\":1,\"a\":2}", "{\"a\":2,\"a\\u0000b\":1}"},
      // Members put in key order, the first staying or not, a key repeated.
      {"{\"d\":4,\"c\":[3,3,3,3,3],\"a\":1,\"b\":2}", "{\"a\":1,\"b\":2,\"c\":[3,3,3,3,3],\"d\":4}"},
      {"{\"a\":0,\"d\":4,\"c\":[3,3,3,3,3],\"b\":2,\"a\":5}", "{\"a\":5,\"b\":2,\"c\":[3,3,3,3,3],\"d\":4}"},
      {"{\"a\":0,\"d\":4,\"c\":[3,3,3,3,3],\"b\":2}", "{\"a\":0,\"b\":2,\"c\":[3,3,3,3,3],\"d\":4}"},
      // Floats of up to 15 digits and exponents up to 22 either way keep their
      // digits as written; past that their digits are worked out (Python's repr).
      {"[1.500,-100e-2,0.000123450,1e22,999999999999999e22,123456789012345e-22]",
       "[1.5,-1.0,0.00012345,1e+22,9.99999999999999e+36,1.23456789012345e-8]"},
      {"[1e23,1234567890123456e-22,5e-23]", "[1e+23,1.234567890123456e-7,5e-23]"},
      // Decimals whose text is their canonical form, and those just past it.
      {"[0.00001,0.000012,0.0000099,-12.50,100.25,0.10,-0.5,1.0]",
       "[0.00001,0.000012,9.9e-6,-12.5,100.25,0.1,-0.5,1.0]"},
  };
  for (const auto& c : cases) CHECK_EQ(outcome(c.text), std::string(c.expected));

  // A key holding NUL stays whole.
  auto value = read_json("{\"k\\u0000\":1}");
  CHECK(value.ok() && value->as_object().size() == 1 && value->as_object()[0].key() == "k\0"sv);
  auto lookup = read_json("{\"b\":[true],\"a\":null}");
  CHECK(lookup.ok() && lookup->find("b") != nullptr && lookup->find("b")->as_array()[0].as_bool());
  CHECK(lookup.ok() && lookup->find("c") == nullptr);
}

// A read document's values move whole, its root taking the arena along.
void documents_move_whole() {
  const std::string text = "{\"b\":[\"a string longer than fourteen bytes\",{\"d\":[1,-2,0.5]},[]],\"a\":{}}";
  const std::string canonical = "{\"a\":{},\"b\":[\"a string longer than fourteen bytes\",{\"d\":[1,-2,0.5]},[]]}";
  JsonValue root;
  {
    auto document = read_json(text);
    CHECK(document.ok());
    if (!document.ok()) return;
    root = std::move(*document);
  }
  CHECK_EQ(to_json(root), canonical);
  JsonValue reassigned = std::move(root);
  reassigned = JsonValue(true);
  CHECK_EQ(to_json(reassigned), "true");
  auto alone = read_json("\"" + std::string(100, 'x') + "\"");
  CHECK(alone.ok() && alone->as_string() == std::string(100, 'x'));
}

void reads_numbers_by_class() {
  struct IntegerCase {
    std::string_view text;
    JsonKind kind;
    std::uint64_t unsigned_value;
    std::int64_t negative_value;
  };
  const IntegerCase integers[] = {
      {"0", JsonKind::unsigned_integer, 0, 0},
      {"18446744073709551615", JsonKind::unsigned_integer, 18446744073709551615u, 0},
      {"-1", JsonKind::negative_integer, 0, -1},
      {"-9223372036854775808", JsonKind::negative_integer, 0, INT64_MIN},
  };
  for (const auto& c : integers) {
    auto value = read_json(c.text);
    CHECK(value.ok() && value->kind() == c.kind);
    if (!value.ok() || value->kind() != c.kind) continue;
    if (c.kind == JsonKind::unsigned_integer) CHECK_EQ(value->as_unsigned(), c.unsigned_value);
    if (c.kind == JsonKind::negative_integer) CHECK_EQ(value->as_negative(), c.negative_value);
  }

  struct FloatCase {
    std::string_view text;
    double expected;  // compared bit for bit
  };
  const FloatCase floats[] = {
      {"-0", -0.0},
      {"-0.0", -0.0},
      {"0.0", 0.0},
      {"0e5", 0.0},
      {"1.0", 1.0},
      {"1e2", 100.0},
      {"1E+2", 100.0},
      {"1e-2", 0.01},
      {"12.5E-1", 1.25},
      {"-9223372036854775809", -0x1p63},
      {"18446744073709551616", 0x1p64},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"4.9e-324", 0x0.0000000000001p-1022},
      {"1.7976931348623157e308", 0x1.fffffffffffffp+1023},
      // Exponents too long for 32 bits give zero unless that would hide an overflow.
      {"0e2147483648", 0.0},
      {"-0e99999999999", -0.0},
      {"1e-2147483648", 0.0},
      {"-1e-99999999999", -0.0},
      // Digits past 64 bits: integer digits still scale, fraction digits are dropped.
      {"18446744073709551615.9", 0x1p64},
      {"184467440737095516159", 0x1.4p67},
      {"12345678901234567890123.456", 0x1.4ea15b273b38ap+73},
      {"1844674407370955161.59", 0x1.999999999999ap+60},
      // One rounded multiplication or division, not a correctly rounded
      // conversion: these differ from the nearest double in the last bit
      // (nearest: 0x1p53, 0x1.f38964ad1c3e9p-141, 0x1.61d16ed94f76fp+922,
      // 0x1.124e63593f5e1p-1000, 0x0.fffffffffffffp-1022).
      {"9007199254740993.0", 0x1.0000000000001p+53},
      {"7.0e-43", 0x1.f38964ad1c3e8p-141},
      {"4.9e277", 0x1.61d16ed94f770p+922},
      {"0.1e-300", 0x1.124e63593f5e0p-1000},
      {"2.2250738585072011e-308", 0x1p-1022},
  };
  for (const auto& c : floats) {
    auto value = read_json(c.text);
    const bool is_float = value.ok() && value->kind() == JsonKind::floating;
    CHECK(is_float);
    if (is_float) CHECK_EQ(std::bit_cast<std::uint64_t>(value->as_float()), std::bit_cast<std::uint64_t>(c.expected));
  }
}

void reports_errors_with_positions() {
  const TextCase cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"   ", "EOF while parsing a value at line 1 column 3"},
      {"\n\n", "EOF while parsing a value at line 3 column 0"},
      {"NaN", "expected value at line 1 column 1"},
      {"Infinity", "expected value at line 1 column 1"},
      {"+1", "expected value at line 1 column 1"},
      {".5", "expected value at line 1 column 1"},
      {"'a'", "expected value at line 1 column 1"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"/**/1", "expected value at line 1 column 1"},
      {"\xC2\xA0" "1", "expected value at line 1 column 1"},
      {"[,1]", "expected value at line 1 column 2"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"nulL", "expected ident at line 1 column 4"},
      {"trUe", "expected ident at line 1 column 3"},
      {"falsy", "expected ident at line 1 column 5"},
      {"nullnull", "trailing characters at line 1 column 5"},
      {"[1] x", "trailing characters at line 1 column 5"},
      {"0x10", "trailing characters at line 1 column 2"},
      {"1.5.3", "trailing characters at line 1 column 4"},
      // Arrays
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[1 ", "EOF while parsing a list at line 1 column 3"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"[1, ", "EOF while parsing a value at line 1 column 4"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"[1, ]", "trailing comma at line 1 column 5"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1}", "expected `,` or `]` at line 1 column 3"},
      // Objects
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
      {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
      {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{'a':1}", "key must be a string at line 1 column 2"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"{,}", "key must be a string at line 1 column 2"},
      // Numbers
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"-\n", "invalid number at line 2 column 0"},
      {"-a", "invalid number at line 1 column 2"},
      {"01", "invalid number at line 1 column 2"},
      {"-01", "invalid number at line 1 column 3"},
      {"[00]", "invalid number at line 1 column 3"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1.e5", "invalid number at line 1 column 3"},
      {"1e", "EOF while parsing a value at line 1 column 2"},
      {"1e+", "EOF while parsing a value at line 1 column 3"},
      {"1e+a", "invalid number at line 1 column 4"},
      {"1e400", "number out of range at line 1 column 5"},
      {"-1e400", "number out of range at line 1 column 6"},
      {"1e309", "number out of range at line 1 column 5"},
      {"0.1e310", "number out of range at line 1 column 7"},
      {"1.8e308", "number out of range at line 1 column 7"},
      {"[1e2147483647]", "number out of range at line 1 column 13"},
      // The exponent overflows 32 bits at its tenth digit.
      {"[1e2147483648]", "number out of range at line 1 column 13"},
      {"[1e99999999999]", "number out of range at line 1 column 13"},
      // Strings
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"\"\\", "EOF while parsing a string at line 1 column 2"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\u12\"", "EOF while parsing a string at line 1 column 6"},
      {"\"\\u12\"x]", "invalid escape at line 1 column 7"},
      {"\"\\uZ000\"", "invalid escape at line 1 column 7"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\U0041\"", "invalid escape at line 1 column 3"},
      {"\"\\'\"", "invalid escape at line 1 column 3"},
      {"\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\0\""sv, "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"a\\n\nb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\\ude00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\ud83d\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud83dx\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud83d\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\ud83d\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\ud83d\\ud83d\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\ud83d\\uZZZZ\"", "invalid escape at line 1 column 13"},
      {"\"\\ud83d", "EOF while parsing a string at line 1 column 7"},
      {"\"\\ud83d\\", "EOF while parsing a string at line 1 column 8"},
      {"\"\\ud83d\\u12", "EOF while parsing a string at line 1 column 11"},
      // Lines count line feeds; a carriage return is an ordinary byte of its line.
      {"[\n  1,\n  2,\n]", "trailing comma at line 4 column 1"},
      {"{\n\"a\": tru\n}", "expected ident at line 3 column 0"},
      {"[1,\n2\n,3\r\n x]", "expected `,` or `]` at line 4 column 2"},
      {"\n\n  \"abc", "EOF while parsing a string at line 3 column 6"},
      {"1\n\n   2", "trailing characters at line 3 column 4"},
      {"{\"a\":\n\n", "EOF while parsing a value at line 3 column 0"},
  };
  for (const auto& c : cases) CHECK_EQ(outcome(c.text), "error: " + std::string(c.expected));
}

void limits_nesting_to_127() {
  CHECK_EQ(outcome(repeat("[", 127) + repeat("]", 127)), repeat("[", 127) + repeat("]", 127));
  CHECK_EQ(outcome(repeat("[", 128) + repeat("]", 128)), "error: recursion limit exceeded at line 1 column 128");
  CHECK_EQ(outcome(repeat("[", 1000000)), "error: recursion limit exceeded at line 1 column 128");
  CHECK_EQ(outcome(repeat("{\"a\":", 127) + "1" + repeat("}", 127)).size(), std::size_t{127 * 6 + 1});
  CHECK_EQ(outcome(repeat("{\"a\":", 128) + "1" + repeat("}", 128)),
           "error: recursion limit exceeded at line 1 column 636");
  CHECK_EQ(outcome(repeat("[{\"a\":", 64)), "error: recursion limit exceeded at line 1 column 380");
  CHECK_EQ(outcome(repeat("[\n", 128)), "error: recursion limit exceeded at line 128 column 1");
  // The budget is given back when a container closes.
  const std::string deep = repeat("[", 126) + repeat("]", 126);
  CHECK(read_json("[" + deep + "," + deep + "]").ok());
  CHECK(read_json("[" + repeat("[],", 100000) + "{}]").ok());
}

void reads_arrays_of_strings() {
  auto names = read_json_string_array(" [\"b\", \"a\",\"a\" , \"\\u00e9\\u0000\", \"\"] ");
  CHECK(names.ok());
  if (names.ok()) CHECK(*names == (std::vector<std::string>{"b", "a", "a", "é\0"s, ""}));
  auto empty = read_json_string_array("[ ]");
  CHECK(empty.ok() && empty->empty());

  const TextCase refused[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"{}", "invalid type: map, expected a sequence at line 1 column 0"},
      {" \n {\"a\":1}", "invalid type: map, expected a sequence at line 2 column 1"},
      {"null", "invalid type: null, expected a sequence at line 1 column 4"},
      {"true", "invalid type: boolean `true`, expected a sequence at line 1 column 4"},
      {"false", "invalid type: boolean `false`, expected a sequence at line 1 column 5"},
      {"-12", "invalid type: integer `-12`, expected a sequence at line 1 column 3"},
      {"18446744073709551615", "invalid type: integer `18446744073709551615`, expected a sequence at line 1 column 20"},
      {"1.50", "invalid type: floating point `1.5`, expected a sequence at line 1 column 4"},
      {"1e-6", "invalid type: floating point `1e-6`, expected a sequence at line 1 column 4"},
      {"-0", "invalid type: floating point `-0.0`, expected a sequence at line 1 column 2"},
      {"\"a\\\"b\\\\\"", "invalid type: string \"a\\\"b\\\\\", expected a sequence at line 1 column 8"},
      {"\"\\t\\n\\r\\u0000\\u0001\\u001f\\u007f\\u0085\xC2\xA0\"",
       "invalid type: string \"\\t\\n\\r\\0\\u{1}\\u{1f}\\u{7f}\\u{85}\xC2\xA0\", expected a sequence at line 1 column 40"},
      {"[\"a\",1]", "invalid type: integer `1`, expected a string at line 1 column 6"},
      {"[\"a\", null]", "invalid type: null, expected a string at line 1 column 10"},
      {"[2.5e1]", "invalid type: floating point `25.0`, expected a string at line 1 column 6"},
      {"[\"a\",[\"b\"]]", "invalid type: sequence, expected a string at line 1 column 5"},
      {"[\"a\",\n {}]", "invalid type: map, expected a string at line 2 column 1"},
      // The syntax of a refused value is checked before its type.
      {"[\"a\", nul]", "expected ident at line 1 column 10"},
      {"[1e400]", "number out of range at line 1 column 6"},
      {"[x]", "expected value at line 1 column 2"},
      {"[\"a\" \"b\"]", "expected `,` or `]` at line 1 column 6"},
      {"[\"a\",]", "trailing comma at line 1 column 6"},
      {"[\"a\"", "EOF while parsing a list at line 1 column 4"},
      {"[\"a\",", "EOF while parsing a value at line 1 column 5"},
      {"[\"a\"] x", "trailing characters at line 1 column 7"},
      {"[\"a\tb\"]", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 4"},
  };
  for (const auto& c : refused) {
    auto result = read_json_string_array(c.text);
    CHECK_EQ(result.ok() ? "(accepted)"s : result.error().message, std::string(c.expected));
  }
}

// Each text is cut from a longer buffer in which the next byte would complete
// it; the reader must stop at the end of the view (checked under ASan too).
void never_reads_past_the_end() {
  const TextCase cases[] = {
      {"\"abc\"", "EOF while parsing a string at line 1 column 4"},
      {"true", "EOF while parsing a value at line 1 column 3"},
      {"\"\\u1234", "EOF while parsing a string at line 1 column 6"},
      {"\"\\ud83d\\ude00", "EOF while parsing a string at line 1 column 12"},
      {"1.5e5", "EOF while parsing a value at line 1 column 4"},
      {"[1]", "EOF while parsing a list at line 1 column 2"},
  };
  for (const auto& c : cases) {
    const std::string buffer(c.text);
    const std::string_view cut(buffer.data(), buffer.size() - 1);
    CHECK_EQ(outcome(cut), "error: " + std::string(c.expected));
  }
}

void handles_large_inputs() {
  constexpr std::size_t kTenMegabytes = 10 * 1024 * 1024;
  auto long_string = read_json("\"" + repeat("x", kTenMegabytes) + "\"");
  CHECK(long_string.ok() && long_string->as_string().size() == kTenMegabytes);
  auto escaped = read_json("\"" + repeat("\\n\\u00e9", kTenMegabytes / 8) + "\"");
  CHECK(escaped.ok() && escaped->as_string().size() == kTenMegabytes / 8 * 3);
  CHECK_EQ(outcome("1" + repeat("0", kTenMegabytes)), "error: number out of range at line 1 column 10485761");
  CHECK_EQ(outcome("0." + repeat("0", kTenMegabytes) + "1"), "0.0");
  CHECK_EQ(outcome("1." + repeat("0", kTenMegabytes)), "1.0");
  CHECK_EQ(outcome("[" + repeat("0", kTenMegabytes)), "error: invalid number at line 1 column 3");

  // In a larger object the largest member moves within the text, the others
  // around it.
  const std::string large = "\"" + repeat("x", 5000) + "\"";
  CHECK_EQ(outcome("{\"a\":0,\"d\":4,\"c\":" + large + ",\"b\":2,\"a\":5}"),
           "{\"a\":5,\"b\":2,\"c\":" + large + ",\"d\":4}");
  CHECK_EQ(outcome("{\"a\":0,\"d\":4,\"c\":" + large + ",\"b\":[" + large + "]}"),
           "{\"a\":0,\"b\":[" + large + "],\"c\":" + large + ",\"d\":4}");

  auto wide = read_json("[" + repeat("7,", 2000000) + "7]");
  CHECK(wide.ok() && wide->as_array().size() == 2000001);

  // Keys in falling order, each given twice: sorted, the second value kept.
  constexpr int kKeys = 200000;
  std::string object = "{";
  for (int i = kKeys - 1; i >= 0; --i) {
    const std::string key = "\"k" + std::to_string(1000000 + i) + "\":";
    object += key + "0," + key + std::to_string(i) + ",";
  }
  object.back() = '}';
  auto members = read_json(object);
  CHECK(members.ok() && members->as_object().size() == kKeys);
  CHECK(members.ok() && outcome(object) == to_json(*members));
  if (members.ok() && members->as_object().size() == kKeys) {
    CHECK_EQ(members->as_object().front().key(), "k1000000"sv);
    CHECK_EQ(members->as_object().back().value().as_unsigned(), std::uint64_t{kKeys - 1});
  }
}

}  // namespace

int main() {
  accepts_json_texts();
  documents_move_whole();
  reads_numbers_by_class();
  reports_errors_with_positions();
  limits_nesting_to_127();
  reads_arrays_of_strings();
  never_reads_past_the_end();
  handles_large_inputs();
  return check::failures() != 0;
}
