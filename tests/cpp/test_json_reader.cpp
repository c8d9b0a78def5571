// JSON reader: accepted texts, numbers, errors with their positions, nesting,
// arrays of strings, and inputs large enough to expose quadratic behaviour.
// Every text also goes through the one-pass canonical reader, which must agree.
// (Reads past the end of the text: the fuzz corpora, replayed under ASan.)
#include <bit>
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

// The compact text of what `text` reads as, or "error: " and the message.
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
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

struct TextCase {
  std::string_view text;
  std::string_view expected;
};

void accepts_json_texts() {
  const TextCase cases[] = {
      {" \t\r\ntrue\n ", "true"}, {"false", "false"}, {"null", "null"}, {"[ ]", "[]"}, {" { } ", "{}"},
      {"[1, -2 ,3.5e0, \"x\" , null,true,false,[],{}]", "[1,-2,3.5,\"x\",null,true,false,[],{}]"},
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\/\\b\\f\\n\\r\\t\""},
      {"\"\\u0041\\u00e9\\u00E9\\u20AC\"", "\"Aéé€\""},
      {"\"\\ud83d\\ude00\\uDBFF\\uDFFF\"", "\"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
      {"\"\\u0000\x7F\xC2\x85\xE2\x80\xA8/\"", "\"\\u0000\x7F\xC2\x85\xE2\x80\xA8/\""},  // DEL, C1, U+2028 kept
      // Members in key byte order; a repeated key keeps its last value.
      {"{\"b\":0,\"a\":1,\"B\":3,\"b\":2,\"a\":3,\"a\":4}", "{\"B\":3,\"a\":4,\"b\":2}"},
      {"{\"aa\":1,\"a\":2,\"\":3,\"\\u00e9\":1,\"z\":2}", "{\"\":3,\"a\":2,\"aa\":1,\"z\":2,\"é\":1}"},
      {"{\"a\\u0000b\":1,\"a\":2}", "{\"a\":2,\"a\\u0000b\":1}"},
      {"{\"a\":0,\"d\":4,\"c\":[3,3,3,3,3],\"b\":2,\"a\":5}", "{\"a\":5,\"b\":2,\"c\":[3,3,3,3,3],\"d\":4}"},
      // Up to 15 digits and exponents to 22 keep their digits; past that, Python's repr.
      {"[1.500,-100e-2,0.000123450,1e22,999999999999999e22,123456789012345e-22]",
       "[1.5,-1.0,0.00012345,1e+22,9.99999999999999e+36,1.23456789012345e-8]"},
      {"[1e23,1234567890123456e-22,5e-23]", "[1e+23,1.234567890123456e-7,5e-23]"},
      // Decimals whose text is their canonical form, and those just past it.
      {"[0.00001,0.000012,0.0000099,-12.50,100.25,0.10,-0.5,1.0]",
       "[0.00001,0.000012,9.9e-6,-12.5,100.25,0.1,-0.5,1.0]"},
  };
  for (const auto& c : cases) CHECK_EQ(outcome(c.text), std::string(c.expected));

  auto value = read_json("{\"k\\u0000\":1,\"b\":[true],\"a\":null}");
  CHECK(value.ok() && value->as_object()[2].key() == "k\0"sv && value->find("b")->as_array()[0].as_bool());
  CHECK(value.ok() && value->find("c") == nullptr);
}

void reads_numbers_by_class() {
  auto top = read_json("[18446744073709551615,-9223372036854775808,-0]");
  CHECK(top.ok() && top->as_array()[0].as_unsigned() == UINT64_MAX && top->as_array()[1].as_negative() == INT64_MIN);
  CHECK(top.ok() && top->as_array()[2].kind() == JsonKind::floating);

  const struct {
    std::string_view text;
    double expected;  // compared bit for bit
  } floats[] = {
      {"-0.0", -0.0}, {"12.5E-1", 1.25}, {"-9223372036854775809", -0x1p63}, {"-1e-400", -0.0},
      {"4.9e-324", 0x0.0000000000001p-1022}, {"1.7976931348623157e308", 0x1.fffffffffffffp+1023},
      // Exponents too long for 32 bits give zero unless that would hide an overflow.
      {"-0e99999999999", -0.0}, {"1e-2147483648", 0.0},
      // Digits past 64 bits: integer digits still scale, fraction digits are dropped.
      {"18446744073709551615.9", 0x1p64}, {"184467440737095516159", 0x1.4p67},
      {"1844674407370955161.59", 0x1.999999999999ap+60},
      // One rounded multiplication or division, not a correctly rounded
      // conversion (nearest: 0x1p53, 0x1.f38964ad1c3e9p-141,
      // 0x1.61d16ed94f76fp+922, 0x0.fffffffffffffp-1022).
      {"9007199254740993.0", 0x1.0000000000001p+53}, {"7.0e-43", 0x1.f38964ad1c3e8p-141},
      {"4.9e277", 0x1.61d16ed94f770p+922}, {"2.2250738585072011e-308", 0x1p-1022},
      {"-12.59E+36", -0x1.2f17dd97ed53cp+123}, {"1797693134862315649e289", 0x1.999999999999ap+1020},
  };
  for (const auto& c : floats) {
    auto value = read_json(c.text);
    const bool is_float = value.ok() && value->kind() == JsonKind::floating;
    CHECK(is_float);
    if (is_float) CHECK_EQ(std::bit_cast<std::uint64_t>(value->as_float()), std::bit_cast<std::uint64_t>(c.expected));
  }
}

// The goldens hold each message once; here, the positions in each context.
void reports_errors_with_positions() {
  const TextCase cases[] = {
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"[,1]", "expected value at line 1 column 2"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"falsy", "expected ident at line 1 column 5"},
      {"nulm", "expected ident at line 1 column 4"},  // one above the literal's last byte
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[1, ]", "trailing comma at line 1 column 5"},
      {"[1}", "expected `,` or `]` at line 1 column 3"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"-\n", "invalid number at line 2 column 0"},
      {"-01", "invalid number at line 1 column 3"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1.e5", "invalid number at line 1 column 3"},
      {"1e+a", "invalid number at line 1 column 4"},
      {"1797693134862315649e290", "number out of range at line 1 column 23"},  // the product overflows
      {"[1e2147483648]", "number out of range at line 1 column 13"},  // the exponent passes 32 bits
      {"\"\\u12\"", "EOF while parsing a string at line 1 column 6"},
      {"\"\\u12\"x]", "invalid escape at line 1 column 7"},
      {"\"\\u00g0\"", "invalid escape at line 1 column 7"},  // g, G: the letters after the hex digits
      {"\"\\ud83d\\uDE0G\"", "invalid escape at line 1 column 13"},
      {"\"\0\""sv, "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"a\\n\nb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\\ud83d\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      // Lines count line feeds; a carriage return is an ordinary byte of its line.
      {"[1,\n2\n,3\r\n x]", "expected `,` or `]` at line 4 column 2"},
      {"{\"a\":\n\n", "EOF while parsing a value at line 3 column 0"},
  };
  for (const auto& c : cases) CHECK_EQ(outcome(c.text), "error: " + std::string(c.expected));
}

void limits_nesting_to_127() {
  CHECK_EQ(outcome(repeat("[", 127) + repeat("]", 127)), repeat("[", 127) + repeat("]", 127));
  CHECK_EQ(outcome(repeat("[", 1000000)), "error: recursion limit exceeded at line 1 column 128");
  CHECK_EQ(outcome(repeat("[{\"a\":", 64)), "error: recursion limit exceeded at line 1 column 380");
  CHECK_EQ(outcome(repeat("[\n", 128)), "error: recursion limit exceeded at line 128 column 1");
  // The budget is given back when a container closes.
  const std::string deep = repeat("[", 126) + repeat("]", 126);
  CHECK(read_json("[" + deep + "," + deep + "]").ok());
}

void reads_arrays_of_strings() {
  auto names = read_json_string_array(" [\"b\", \"a\",\"a\" , \"\\u00e9\\u0000\", \"\"] ");
  CHECK(names.ok() && *names == (std::vector<std::string>{"b", "a", "a", "é\0"s, ""}));
  CHECK(read_json_string_array("[ ]").ok());

  const TextCase refused[] = {
      {" \n {\"a\":1}", "invalid type: map, expected a sequence at line 2 column 1"},
      {"18446744073709551615", "invalid type: integer `18446744073709551615`, expected a sequence at line 1 column 20"},
      {"1e-6", "invalid type: floating point `1e-6`, expected a sequence at line 1 column 4"},
      {"\"\\t\\n\\r\\\"\\\\\\u0000\\u0001\\u001f\\u007f\\u0085\xC2\xA0\"",
       "invalid type: string \"\\t\\n\\r\\\"\\\\\\0\\u{1}\\u{1f}\\u{7f}\\u{85}\xC2\xA0\", expected a sequence at line 1 "
       "column 44"},
      {"[2.5e1]", "invalid type: floating point `25.0`, expected a string at line 1 column 6"},
      // The syntax of a refused value is checked before its type.
      {"[\"a\", nul]", "expected ident at line 1 column 10"},
      {"[\"a\"] x", "trailing characters at line 1 column 7"},
  };
  for (const auto& c : refused) {
    auto result = read_json_string_array(c.text);
    CHECK_EQ(result.ok() ? "(accepted)"s : result.error().message, std::string(c.expected));
  }
}

void handles_large_inputs() {
  constexpr std::size_t kTenMegabytes = 10 * 1024 * 1024;
  auto escaped = read_json("\"" + repeat("\\n\\u00e9", kTenMegabytes / 8) + "\"");
  CHECK(escaped.ok() && escaped->as_string().size() == kTenMegabytes / 8 * 3);
  // In a larger object the largest member moves within the text, the others around it.
  const std::string large = "\"" + repeat("x", 5000) + "\"";
  CHECK_EQ(outcome("{\"a\":0,\"d\":4,\"c\":" + large + ",\"b\":[" + large + "],\"a\":5}"),
           "{\"a\":5,\"b\":[" + large + "],\"c\":" + large + ",\"d\":4}");
  CHECK_EQ(outcome("{\"a\":0,\"d\":4,\"c\":" + large + ",\"b\":2}"), "{\"a\":0,\"b\":2,\"c\":" + large + ",\"d\":4}");
  // Keys in falling order, each given twice: sorted, the second value kept.
  constexpr int kKeys = 200000;
  std::string object = "{";
  for (int i = kKeys - 1; i >= 0; --i) {
    const std::string key = "\"k" + std::to_string(1000000 + i) + "\":";
    object += key + "0," + key + std::to_string(i) + ",";
  }
  object.back() = '}';
  auto members = read_json(object);
  CHECK(members.ok() && members->as_object().size() == kKeys && outcome(object) == to_json(*members));
  CHECK(members.ok() && members->as_object().back().value().as_unsigned() == std::uint64_t{kKeys - 1});
}

}  // namespace

int main() {
  accepts_json_texts();
  reads_numbers_by_class();
  reports_errors_with_positions();
  limits_nesting_to_127();
  reads_arrays_of_strings();
  handles_large_inputs();
  return check::failures() != 0;
}
