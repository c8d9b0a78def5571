#include "functions/body_read_back.hpp"

#include <bit>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>

#include "encoding/json_reader.hpp"
#include "encoding/json_writer.hpp"

namespace corvane::functions {
namespace {

using encoding::JsonKind;
using encoding::JsonValue;

struct NumberText {
  std::string_view member;
  std::string_view text;
};

// What a scan of a JSON text finds: its numbers in the order written, each
// with the key of the top-level member around it, and the first member that
// nests deeper than the reader takes.
struct Scan {
  std::vector<NumberText> numbers;
  std::optional<std::string_view> too_deep;
};

// The reader takes 127 levels of arrays and objects, counting the outermost.
constexpr int kReaderDepth = 127;

bool is_number_byte(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Made for the texts the writer makes; any other text is scanned without harm.
// Strings are skipped whole, so that digits and brackets inside them count
// for nothing.
Scan scan(std::string_view json) {
  Scan found;
  std::string_view member;
  int depth = 0;
  bool top_is_object = false, key_next = false;
  for (std::size_t i = 0; i < json.size();) {
    const char c = json[i];
    if (c == '"') {
      const std::size_t start = ++i;
      while (i < json.size() && json[i] != '"') i += json[i] == '\\' ? 2 : 1;
      if (key_next) member = json.substr(start, i - start);
      key_next = false;
      ++i;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      const std::size_t start = i;
      while (i < json.size() && is_number_byte(json[i])) ++i;
      found.numbers.push_back({member, json.substr(start, i - start)});
    } else {
      if (c == '{' || c == '[') {
        if (depth++ == 0) top_is_object = key_next = c == '{';
        if (depth > kReaderDepth && !found.too_deep) found.too_deep = member;
      } else if (c == '}' || c == ']') {
        --depth;
      } else if (c == ',') {
        key_next = depth == 1 && top_is_object;
      }
      ++i;
    }
  }
  return found;
}

std::string float_text(double value) {
  std::string text;
  encoding::append_json_float(value, text);
  return text;
}

// The value whose shortest text `text` is, when the reader read the text as
// another value `read`.
std::optional<double> written_value(std::string_view text, double read) {
  if (float_text(read) == text) return std::nullopt;
  double exact = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), exact);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (std::bit_cast<std::uint64_t>(exact) == std::bit_cast<std::uint64_t>(read)) return std::nullopt;
  if (float_text(exact) != text) return std::nullopt;
  return exact;
}

// The numbers of a value in the order its compact text holds them.
void collect_numbers(JsonValue& value, std::vector<JsonValue*>& out) {
  switch (value.kind()) {
    case JsonKind::unsigned_integer:
    case JsonKind::negative_integer:
    case JsonKind::floating:
      out.push_back(&value);
      break;
    case JsonKind::array:
      for (JsonValue& item : value.as_array()) collect_numbers(item, out);
      break;
    case JsonKind::object:
      for (auto& member : value.as_object()) collect_numbers(member.value(), out);
      break;
    default:
      break;
  }
}

bool could_be_float(std::string_view text) {
  // Integers of up to 19 digits are read as integers, never as floats.
  return text.find_first_of(".eE") != std::string_view::npos || text.size() > 19;
}

}  // namespace

std::optional<AsWritten> numbers_as_written(std::string_view json_text) {
  auto value = encoding::read_json(json_text);
  if (!value) return std::nullopt;
  std::vector<JsonValue*> numbers;
  collect_numbers(*value, numbers);
  const std::vector<NumberText> texts = scan(json_text).numbers;
  if (texts.size() != numbers.size()) return std::nullopt;
  std::optional<MisreadNumber> first;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (numbers[i]->kind() != JsonKind::floating) continue;
    const double read = numbers[i]->as_float();
    if (const auto exact = written_value(texts[i].text, read)) {
      numbers[i]->replace_float(*exact);
      if (!first) first = MisreadNumber{texts[i].member, texts[i].text, float_text(read)};
    }
  }
  if (!first) return std::nullopt;
  return AsWritten{std::move(value).value(), std::move(*first)};
}

std::optional<ReadBackFault> first_read_back_fault(std::string_view body) {
  const Scan found = scan(body);
  if (found.too_deep) {
    return ReadBackFault{*found.too_deep, "nests " + std::to_string(kReaderDepth) + " levels deep, " +
                                              std::to_string(kReaderDepth + 1) +
                                              " inside the body: one more than the reader takes"};
  }
  for (const NumberText& number : found.numbers) {
    if (!could_be_float(number.text)) continue;
    const auto read = encoding::read_json(number.text);
    const std::string number_text = "the number " + std::string(number.text);
    if (!read) return ReadBackFault{number.member, number_text + " is out of the reader's range"};
    if (read->kind() == JsonKind::floating && written_value(number.text, read->as_float())) {
      return ReadBackFault{number.member, number_text + " reads back as " + float_text(read->as_float())};
    }
  }
  return std::nullopt;
}

Expected<std::vector<std::string>> read_back_fault(const ReadBackRequest& request) {
  const auto fault = first_read_back_fault(request.body);
  if (!fault) return std::vector<std::string>();
  return std::vector<std::string>{std::string(fault->member), fault->problem};
}

}  // namespace corvane::functions
