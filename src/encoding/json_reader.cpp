#include "encoding/json_reader.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "encoding/json_parser.hpp"
#include "encoding/json_writer.hpp"

namespace corvane::encoding {
namespace {

using json_parsing::JsonParser;
using json_parsing::NumberToken;

// Writes a string for an error message: in double quotes, with the quote and
// the backslash escaped and control characters (C0, DEL and C1) spelled out.
void append_quoted_for_message(std::string_view text, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto append_code_point = [&](unsigned code_point) {
    switch (code_point) {
      case '\t': out += "\\t"; return;
      case '\n': out += "\\n"; return;
      case '\r': out += "\\r"; return;
      case 0: out += "\\0"; return;
    }
    out += "\\u{";
    bool started = false;
    for (int shift = 4; shift >= 0; shift -= 4) {
      const unsigned nibble = (code_point >> shift) & 0xF;
      if (nibble != 0 || started || shift == 0) {
        out += kHex[nibble];
        started = true;
      }
    }
    out += '}';
  };
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == 0x7F) {
      append_code_point(byte);
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<std::uint8_t>(text[i + 1]) >= 0x80 &&
               static_cast<std::uint8_t>(text[i + 1]) <= 0x9F) {
      append_code_point(static_cast<std::uint8_t>(text[++i]));
    } else {
      out += static_cast<char>(byte);
    }
  }
  out += '"';
}

// How a value of the wrong type is named in "invalid type" errors.
std::string describe(const JsonValue& value) {
  std::string out;
  switch (value.kind()) {
    case JsonKind::null:
      return "null";
    case JsonKind::boolean:
      return value.as_bool() ? "boolean `true`" : "boolean `false`";
    case JsonKind::unsigned_integer:
      return "integer `" + std::to_string(value.as_unsigned()) + "`";
    case JsonKind::negative_integer:
      return "integer `" + std::to_string(value.as_negative()) + "`";
    case JsonKind::floating:
      out = "floating point `";
      append_json_float(value.as_float(), out);
      out += '`';
      return out;
    case JsonKind::string:
      out = "string ";
      append_quoted_for_message(value.as_string(), out);
      return out;
    case JsonKind::array:
      return "sequence";
    case JsonKind::object:
      return "map";
  }
  return out;
}

std::string invalid_type(std::string_view found, std::string_view wanted) {
  std::string reason = "invalid type: ";
  reason += found;
  reason += ", expected ";
  reason += wanted;
  return reason;
}

// The reader's working buffers. Each thread keeps them from one read to the
// next, unless they grew large, so that reading a small document allocates
// nothing but its arena.
struct ReaderBuffers {
  // Finished values of the arrays and objects still open. They own nothing
  // but the root, so that dropping them on an error leaves no leak.
  std::vector<JsonValue> stack;
  JsonKeyOrder key_order;
  std::string scratch;  // the decoded text of a string that has escapes
};
constexpr std::size_t kLargestKeptStack = 4096;
constexpr std::size_t kLargestKeptScratch = 64 * 1024;
thread_local ReaderBuffers kept_buffers;

}  // namespace

// Builds the value bottom-up on one stack, so that each array or object gets
// its block once, at its exact size, when it closes; the blocks are carved
// from one arena that the root value takes over.
class JsonTreeBuilder {
 public:
  explicit JsonTreeBuilder(std::size_t text_size)
      : arena_(text_size), buffers_(std::move(kept_buffers)), stack_(buffers_.stack), key_order_(buffers_.key_order) {}
  ~JsonTreeBuilder() {
    stack_.clear();
    if (stack_.capacity() <= kLargestKeptStack && buffers_.scratch.capacity() <= kLargestKeptScratch &&
        key_order_.capacity() <= kLargestKeptStack) {
      kept_buffers = std::move(buffers_);
    }
  }
  JsonTreeBuilder(const JsonTreeBuilder&) = delete;
  JsonTreeBuilder& operator=(const JsonTreeBuilder&) = delete;

  static constexpr bool kWantsCanonicalStrings = false;

  std::string& scratch() { return buffers_.scratch; }
  JsonValue& last() { return stack_.back(); }

  void null_value() { stack_.emplace_back(); }
  void bool_value(bool value) { stack_.emplace_back(value); }
  void number(const NumberToken& number) {
    switch (number.kind) {
      case NumberToken::Kind::unsigned_integer:
        stack_.emplace_back(number.unsigned_value);
        return;
      case NumberToken::Kind::negative_integer:
        // Negated in unsigned arithmetic, so that -2^63 needs no special case.
        stack_.emplace_back(static_cast<std::int64_t>(0 - number.unsigned_value));
        return;
      case NumberToken::Kind::floating:
        stack_.emplace_back(number.float_value);
        return;
    }
  }
  void string_value(std::string_view text, bool) {
    stack_.push_back(JsonValue::arena_string(arena_, text, depth_ == 0));
  }

  std::size_t begin_array() {
    ++depth_;
    return stack_.size();
  }
  void array_comma() {}
  void end_array(std::size_t first) {
    --depth_;
    JsonValue array = JsonValue::arena_array(arena_, std::span(stack_).subspan(first), depth_ == 0);
    stack_.resize(first);
    stack_.push_back(std::move(array));
  }

  std::size_t begin_object() { return begin_array(); }
  void object_key(std::string_view key, bool, bool) { stack_.push_back(JsonValue::arena_string(arena_, key, false)); }
  void end_object(std::size_t first) {
    --depth_;
    // Keys and values alternate on the stack.
    const std::span<JsonValue> keys_and_values = std::span(stack_).subspan(first);
    const auto order = key_order_.sort(
        keys_and_values.size() / 2, [&](std::size_t i) { return keys_and_values[2 * i].as_string(); },
        [&](std::size_t i) { return keys_and_values[2 * i].string_prefix(); });
    JsonValue object = JsonValue::arena_object(arena_, keys_and_values, order, depth_ == 0);
    stack_.resize(first);
    stack_.push_back(std::move(object));
  }

 private:
  int depth_ = 0;
  JsonArena arena_;
  ReaderBuffers buffers_;
  std::vector<JsonValue>& stack_;
  JsonKeyOrder& key_order_;
};

namespace {

using TreeParser = JsonParser<JsonTreeBuilder>;

// Refuses the value at the parser's position as not being `wanted`. A scalar
// is read first, so that its own syntax errors come first and its text can be
// named; an array or object is named by its bracket alone.
bool refuse_value(TreeParser& parser, JsonTreeBuilder& builder, std::string_view wanted) {
  if (parser.peek() == '[') return parser.error(invalid_type("sequence", wanted), parser.offset());
  if (parser.peek() == '{') return parser.error(invalid_type("map", wanted), parser.offset());
  if (!parser.parse_value()) return false;
  return parser.error(invalid_type(describe(builder.last()), wanted), parser.offset());
}

bool read_string_array(TreeParser& parser, JsonTreeBuilder& builder, std::vector<std::string>& strings) {
  using namespace json_parsing;
  parser.skip_white_space();
  if (parser.at_end()) return parser.error_at_end(kEofValue);
  if (parser.peek() != '[') return refuse_value(parser, builder, "a sequence");
  if (!parser.enter_container()) return false;
  parser.skip_white_space();
  if (parser.at_end()) return parser.error_at_end(kEofList);
  for (bool closed = parser.peek() == ']'; !closed;) {
    if (parser.peek() != '"') return refuse_value(parser, builder, "a string");
    std::string_view text;
    bool verbatim;
    if (!parser.parse_string(text, verbatim)) return false;
    strings.emplace_back(text);
    if (!parser.next_element(']', kExpectedListSeparator, kEofList, closed)) return false;
  }
  parser.leave_container();
  return parser.expect_end();
}

}  // namespace

Expected<JsonValue> read_json(std::string_view text) {
  JsonTreeBuilder builder(text.size());
  TreeParser parser(text, builder, builder.scratch());
  if (!parser.read_document()) return fail(parser.error_message());
  return std::move(builder.last());
}

Expected<std::vector<std::string>> read_json_string_array(std::string_view text) {
  JsonTreeBuilder builder(text.size());
  TreeParser parser(text, builder, builder.scratch());
  std::vector<std::string> strings;
  if (!read_string_array(parser, builder, strings)) return fail(parser.error_message());
  return strings;
}

}  // namespace corvane::encoding
