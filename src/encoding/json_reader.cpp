#include "encoding/json_reader.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>

#include "encoding/copy_bytes.hpp"
#include "encoding/json_writer.hpp"

namespace corvane::encoding {
namespace {

constexpr std::string_view kEofList = "EOF while parsing a list";
constexpr std::string_view kEofObject = "EOF while parsing an object";
constexpr std::string_view kEofString = "EOF while parsing a string";
constexpr std::string_view kEofValue = "EOF while parsing a value";
constexpr std::string_view kExpectedColon = "expected `:`";
constexpr std::string_view kExpectedListSeparator = "expected `,` or `]`";
constexpr std::string_view kExpectedObjectSeparator = "expected `,` or `}`";
constexpr std::string_view kExpectedIdent = "expected ident";
constexpr std::string_view kExpectedValue = "expected value";
constexpr std::string_view kInvalidEscape = "invalid escape";
constexpr std::string_view kInvalidNumber = "invalid number";
constexpr std::string_view kNumberOutOfRange = "number out of range";
constexpr std::string_view kControlCharacter = "control character (\\u0000-\\u001F) found while parsing a string";
constexpr std::string_view kKeyMustBeString = "key must be a string";
constexpr std::string_view kLoneSurrogate = "lone leading surrogate in hex escape";
constexpr std::string_view kTrailingComma = "trailing comma";
constexpr std::string_view kTrailingCharacters = "trailing characters";
constexpr std::string_view kUnexpectedEndOfHexEscape = "unexpected end of hex escape";
constexpr std::string_view kRecursionLimit = "recursion limit exceeded";

// Entering an array or object takes one; reaching zero is refused, so 127
// levels of nesting are accepted.
constexpr int kNestingBudget = 128;

// The binary64 values nearest to 1e0 ... 1e308.
constexpr double kPowersOfTen[309] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
    1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
    1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39,
    1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47, 1e48, 1e49,
    1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56, 1e57, 1e58, 1e59,
    1e60, 1e61, 1e62, 1e63, 1e64, 1e65, 1e66, 1e67, 1e68, 1e69,
    1e70, 1e71, 1e72, 1e73, 1e74, 1e75, 1e76, 1e77, 1e78, 1e79,
    1e80, 1e81, 1e82, 1e83, 1e84, 1e85, 1e86, 1e87, 1e88, 1e89,
    1e90, 1e91, 1e92, 1e93, 1e94, 1e95, 1e96, 1e97, 1e98, 1e99,
    1e100, 1e101, 1e102, 1e103, 1e104, 1e105, 1e106, 1e107, 1e108, 1e109,
    1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116, 1e117, 1e118, 1e119,
    1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129,
    1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139,
    1e140, 1e141, 1e142, 1e143, 1e144, 1e145, 1e146, 1e147, 1e148, 1e149,
    1e150, 1e151, 1e152, 1e153, 1e154, 1e155, 1e156, 1e157, 1e158, 1e159,
    1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167, 1e168, 1e169,
    1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179,
    1e180, 1e181, 1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189,
    1e190, 1e191, 1e192, 1e193, 1e194, 1e195, 1e196, 1e197, 1e198, 1e199,
    1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206, 1e207, 1e208, 1e209,
    1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216, 1e217, 1e218, 1e219,
    1e220, 1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227, 1e228, 1e229,
    1e230, 1e231, 1e232, 1e233, 1e234, 1e235, 1e236, 1e237, 1e238, 1e239,
    1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246, 1e247, 1e248, 1e249,
    1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259,
    1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266, 1e267, 1e268, 1e269,
    1e270, 1e271, 1e272, 1e273, 1e274, 1e275, 1e276, 1e277, 1e278, 1e279,
    1e280, 1e281, 1e282, 1e283, 1e284, 1e285, 1e286, 1e287, 1e288, 1e289,
    1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298, 1e299,
    1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_white_space(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// The value of each hex digit; -1 for any other byte.
constexpr std::array<std::int8_t, 256> kHexDigitValues = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    table['a' + i] = static_cast<std::int8_t>(10 + i);
    table['A' + i] = static_cast<std::int8_t>(10 + i);
  }
  return table;
}();

bool is_high_surrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Writes a code point as UTF-8; returns the number of bytes, at most 4.
std::size_t write_utf8(std::uint32_t code_point, char* out) {
  const auto byte = [](std::uint32_t bits) { return static_cast<char>(bits); };
  if (code_point < 0x80) {
    out[0] = byte(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = byte(0xC0 | (code_point >> 6));
    out[1] = byte(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = byte(0xE0 | (code_point >> 12));
    out[1] = byte(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = byte(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | (code_point >> 18));
  out[1] = byte(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = byte(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = byte(0x80 | (code_point & 0x3F));
  return 4;
}

// What each letter after a backslash stands for; 0 for no such escape.
constexpr std::array<char, 256> kSingleLetterEscapes = [] {
  std::array<char, 256> table{};
  table['"'] = '"';
  table['\\'] = '\\';
  table['/'] = '/';
  table['b'] = '\b';
  table['f'] = '\f';
  table['n'] = '\n';
  table['r'] = '\r';
  table['t'] = '\t';
  return table;
}();

// The first quote, backslash or control byte in [p, end), or end.
const char* find_end_of_string_run(const char* p, const char* end) {
  return p + json_string_plain_prefix(std::string_view(p, static_cast<std::size_t>(end - p)));
}

// Appends digit to significand unless the result would exceed 64 bits.
bool append_digit(std::uint64_t& significand, unsigned digit) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  constexpr std::uint64_t kAnyDigitFits = (kMax - 9) / 10;
  if (significand > kAnyDigitFits && significand > (kMax - digit) / 10) return false;
  significand = significand * 10 + digit;
  return true;
}

// significand * 10^exponent, rounded once per power-of-ten step: exact whenever
// the significand is below 2^53 and |exponent| <= 22, and otherwise the value
// the service computes too, which may differ from a correctly rounded
// conversion in the last bit. False when the result is too large.
bool scale_by_power_of_ten(std::uint64_t significand, std::int64_t exponent, double& result) {
  double value = static_cast<double>(significand);
  while (true) {
    const std::uint64_t magnitude = exponent < 0 ? 0 - static_cast<std::uint64_t>(exponent) : exponent;
    if (magnitude <= 308) {
      if (exponent >= 0) {
        value *= kPowersOfTen[magnitude];
        if (std::isinf(value)) return false;
      } else {
        value /= kPowersOfTen[magnitude];
      }
      break;
    }
    if (value == 0) break;
    if (exponent >= 0) return false;
    value /= 1e308;
    exponent += 308;
  }
  result = value;
  return true;
}

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

// A recursive-descent reader. Values are built bottom-up on one stack, so each
// array or object gets its block once, at its exact size, when it closes; the
// blocks are carved from one arena that the root value takes over.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text)
      : begin_(text.data()),
        pos_(begin_),
        end_(begin_ + text.size()),
        arena_(text.size()),
        buffers_(std::move(kept_buffers)),
        stack_(buffers_.stack),
        key_order_(buffers_.key_order),
        scratch_(buffers_.scratch) {}

  ~JsonReader() {
    stack_.clear();
    if (stack_.capacity() <= kLargestKeptStack && scratch_.capacity() <= kLargestKeptScratch &&
        key_order_.capacity() <= kLargestKeptStack) {
      kept_buffers = std::move(buffers_);
    }
  }
  JsonReader(const JsonReader&) = delete;
  JsonReader& operator=(const JsonReader&) = delete;

  Expected<JsonValue> read_value_document() {
    if (!parse_value() || !expect_end()) return fail(error_message());
    return std::move(stack_.back());
  }

  Expected<std::vector<std::string>> read_string_array_document() {
    std::vector<std::string> strings;
    if (!parse_string_array(strings) || !expect_end()) return fail(error_message());
    return strings;
  }

 private:
  bool at_end() const { return pos_ == end_; }
  std::size_t offset(const char* p) const { return static_cast<std::size_t>(p - begin_); }

  void skip_white_space() {
    // Every token starts above the space, so one comparison usually decides.
    while (pos_ != end_ && static_cast<unsigned char>(*pos_) <= ' ' && is_white_space(*pos_)) ++pos_;
  }

  // Outside every array and object: the value read now is the root.
  bool at_top_level() const { return nesting_budget_ == kNestingBudget; }

  // Records an error found once `consumed` bytes were read; returns false so
  // that callers can `return error(...)`.
  [[gnu::cold, gnu::noinline]] bool error(std::string_view reason, std::size_t consumed) {
    error_reason_ = reason;
    error_consumed_ = consumed;
    return false;
  }
  bool error_at(std::string_view reason, const char* byte) { return error(reason, offset(byte) + 1); }
  bool error_at_end(std::string_view reason) { return error(reason, offset(end_)); }

  // Line and column are worked out only here, off the hot path.
  std::string error_message() const {
    const std::string_view read(begin_, error_consumed_);
    const std::size_t last_line_feed = read.rfind('\n');
    const std::size_t line_start = last_line_feed == std::string_view::npos ? 0 : last_line_feed + 1;
    const auto line = std::count(read.begin(), read.end(), '\n') + 1;
    return error_reason_ + " at line " + std::to_string(line) + " column " + std::to_string(read.size() - line_start);
  }

  bool expect_end() {
    skip_white_space();
    return at_end() || error_at(kTrailingCharacters, pos_);
  }

  // Parses one value and pushes it on the stack.
  bool parse_value() {
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    switch (*pos_) {
      case 'n':
        return parse_literal("null", JsonValue());
      case 't':
        return parse_literal("true", JsonValue(true));
      case 'f':
        return parse_literal("false", JsonValue(false));
      case '"':
        return parse_string_value();
      case '[':
        return parse_array();
      case '{':
        return parse_object();
      case '-': case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        return parse_number();
      default:
        return error_at(kExpectedValue, pos_);
    }
  }

  // Parses one element of an array or object: strings, the commonest, in line.
  bool parse_element() {
    skip_white_space();
    return pos_ != end_ && *pos_ == '"' ? parse_string_value() : parse_value();
  }

  bool parse_string_value() {
    std::string_view text;
    if (!parse_string(text)) return false;
    stack_.push_back(JsonValue::arena_string(arena_, text, at_top_level()));
    return true;
  }

  bool parse_literal(std::string_view word, JsonValue value) {
    if (static_cast<std::size_t>(end_ - pos_) >= word.size() && std::string_view(pos_, word.size()) == word) {
      pos_ += word.size();
    } else {
      ++pos_;  // the first letter chose the word
      for (const char letter : word.substr(1)) {
        if (at_end()) return error_at_end(kEofValue);
        if (*pos_ != letter) return error_at(kExpectedIdent, pos_);
        ++pos_;
      }
    }
    stack_.push_back(std::move(value));
    return true;
  }

  bool enter_container() {
    if (--nesting_budget_ == 0) return error_at(kRecursionLimit, pos_);
    ++pos_;
    return true;
  }

  void leave_container() {
    ++pos_;
    ++nesting_budget_;
  }

  // After a value inside an array or object: true with pos_ on the next
  // element when a comma follows, false with `closed` set when `close` does.
  bool next_element(char close, std::string_view separator_reason, std::string_view eof_reason, bool& closed) {
    skip_white_space();
    if (at_end()) return error_at_end(eof_reason);
    if (*pos_ == close) {
      closed = true;
      return true;
    }
    if (*pos_ != ',') return error_at(separator_reason, pos_);
    ++pos_;
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    if (*pos_ == close) return error_at(kTrailingComma, pos_);
    return true;
  }

  bool parse_array() {
    if (!enter_container()) return false;
    const std::size_t first = stack_.size();
    skip_white_space();
    if (at_end()) return error_at_end(kEofList);
    for (bool closed = *pos_ == ']'; !closed;) {
      if (!parse_element() || !next_element(']', kExpectedListSeparator, kEofList, closed)) return false;
    }
    leave_container();
    JsonValue array = JsonValue::arena_array(arena_, std::span(stack_).subspan(first), at_top_level());
    stack_.resize(first);
    stack_.push_back(std::move(array));
    return true;
  }

  bool parse_object() {
    if (!enter_container()) return false;
    const std::size_t first = stack_.size();
    skip_white_space();
    if (at_end()) return error_at_end(kEofObject);
    for (bool closed = *pos_ == '}'; !closed;) {
      if (*pos_ != '"') return error_at(kKeyMustBeString, pos_);
      std::string_view key;
      if (!parse_string(key)) return false;
      stack_.push_back(JsonValue::arena_string(arena_, key, false));
      skip_white_space();
      if (at_end()) return error_at_end(kEofObject);
      if (*pos_ != ':') return error_at(kExpectedColon, pos_);
      ++pos_;
      if (!parse_element() || !next_element('}', kExpectedObjectSeparator, kEofObject, closed)) return false;
    }
    leave_container();
    // Keys and values alternate on the stack.
    const std::span<JsonValue> keys_and_values = std::span(stack_).subspan(first);
    const auto order = key_order_.sort(
        keys_and_values.size() / 2, [&](std::size_t i) { return keys_and_values[2 * i].as_string(); },
        [&](std::size_t i) { return keys_and_values[2 * i].string_prefix(); });
    JsonValue object = JsonValue::arena_object(arena_, keys_and_values, order, at_top_level());
    stack_.resize(first);
    stack_.push_back(std::move(object));
    return true;
  }

  // Reads a string token; `text` stays valid until the next string is read.
  bool parse_string(std::string_view& text) {
    const char* const run = pos_ + 1;  // after the opening quote
    pos_ = find_end_of_string_run(run, end_);
    if (pos_ != end_ && *pos_ == '"') [[likely]] {  // no escapes: the text is a slice of the input
      text = std::string_view(run, static_cast<std::size_t>(pos_ - run));
      ++pos_;
      return true;
    }
    return parse_escaped_string(run, text);
  }

  // The rest of a string whose first run, from `run` to pos_, ends in
  // something other than the closing quote. The decoded text goes into
  // scratch_, used as a buffer that only grows: every run and escape is
  // written through a pointer once there is room for it.
  [[gnu::noinline]] bool parse_escaped_string(const char* run, std::string_view& text) {
    std::size_t used = 0;
    const auto room = [&](std::size_t size) {
      if (scratch_.size() - used < size) scratch_.resize(std::max(2 * scratch_.size(), used + size));
      return scratch_.data() + used;
    };
    const auto append_run = [&] {
      const auto size = static_cast<std::size_t>(pos_ - run);
      copy_bytes(room(size), run, size);
      used += size;
    };
    if (at_end()) return error_at_end(kEofString);
    append_run();
    while (true) {
      if (*pos_ == '"') {
        ++pos_;
        text = std::string_view(scratch_.data(), used);
        return true;
      }
      if (*pos_ != '\\') return error_at(kControlCharacter, pos_);
      ++pos_;
      std::uint32_t code_point = 0;
      if (!parse_escape(code_point)) return false;
      used += write_utf8(code_point, room(4));
      run = pos_;
      pos_ = find_end_of_string_run(pos_, end_);
      if (at_end()) return error_at_end(kEofString);
      append_run();
    }
  }

  // The character of the escape whose backslash was just read.
  bool parse_escape(std::uint32_t& code_point) {
    if (at_end()) return error_at_end(kEofString);
    const char letter = *pos_;
    if (letter == 'u') {
      ++pos_;
      return parse_unicode_escape(code_point);
    }
    const char decoded = kSingleLetterEscapes[static_cast<std::uint8_t>(letter)];
    if (decoded == 0) return error_at(kInvalidEscape, pos_);
    code_point = static_cast<std::uint8_t>(decoded);
    ++pos_;
    return true;
  }

  // The four hex digits after "\u".
  bool parse_hex_digits(std::uint32_t& unit) {
    if (end_ - pos_ < 4) return error_at_end(kEofString);
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = kHexDigitValues[static_cast<std::uint8_t>(pos_[i])];
      if (digit < 0) return error_at(kInvalidEscape, pos_ + 3);
      unit = unit * 16 + static_cast<std::uint32_t>(digit);
    }
    pos_ += 4;
    return true;
  }

  // A "\uXXXX" escape, or a surrogate pair of two; pos_ is after the "u".
  bool parse_unicode_escape(std::uint32_t& code_point) {
    std::uint32_t unit = 0;
    if (!parse_hex_digits(unit)) return false;
    if (is_low_surrogate(unit)) return error(kLoneSurrogate, offset(pos_));
    if (is_high_surrogate(unit)) {
      if (at_end()) return error_at_end(kEofString);
      if (*pos_ != '\\') return error_at(kUnexpectedEndOfHexEscape, pos_);
      ++pos_;
      if (at_end()) return error_at_end(kEofString);
      if (*pos_ != 'u') return error_at(kUnexpectedEndOfHexEscape, pos_);
      ++pos_;
      std::uint32_t low = 0;
      if (!parse_hex_digits(low)) return false;
      if (!is_low_surrogate(low)) return error(kLoneSurrogate, offset(pos_));
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    code_point = unit;
    return true;
  }

  bool parse_number() {
    const bool negative = *pos_ == '-';
    if (negative) ++pos_;
    if (at_end()) return error_at_end(kEofValue);

    std::uint64_t significand = 0;
    std::int64_t exponent = 0;  // power of ten that the significand is to be scaled by
    bool overflowed = false;    // once set, no further digit enters the significand
    bool is_integer = true;
    // Any 19 digits fit in 64 bits, so the first 19 taken need no check.
    std::ptrdiff_t unchecked = 19;
    const auto take_unchecked_digits = [&] {
      const char* const start = pos_;
      const char* const stop = pos_ + std::min(unchecked, end_ - pos_);
      const char* p = start;  // a local, so that the loop keeps it in a register
      for (; p != stop && is_digit(*p); ++p) significand = significand * 10 + static_cast<unsigned>(*p - '0');
      pos_ = p;
      unchecked -= p - start;
      return p - start;
    };

    if (*pos_ == '0') {
      ++pos_;
      if (!at_end() && is_digit(*pos_)) return error_at(kInvalidNumber, pos_);
    } else if (is_digit(*pos_)) {
      take_unchecked_digits();
      for (; !at_end() && is_digit(*pos_); ++pos_) {
        overflowed = overflowed || !append_digit(significand, static_cast<unsigned>(*pos_ - '0'));
        if (overflowed) ++exponent;  // a dropped integer digit still scales the value
      }
    } else {
      return error_at(kInvalidNumber, pos_);
    }

    if (!at_end() && *pos_ == '.') {
      is_integer = false;
      ++pos_;
      if (at_end()) return error_at_end(kEofValue);
      if (!is_digit(*pos_)) return error_at(kInvalidNumber, pos_);
      if (!overflowed) exponent -= take_unchecked_digits();
      for (; !at_end() && is_digit(*pos_); ++pos_) {
        overflowed = overflowed || !append_digit(significand, static_cast<unsigned>(*pos_ - '0'));
        if (!overflowed) --exponent;  // a dropped fraction digit has no effect
      }
    }

    if (!at_end() && (*pos_ == 'e' || *pos_ == 'E')) {
      is_integer = false;
      ++pos_;
      bool exponent_negative = false;
      if (!at_end() && (*pos_ == '+' || *pos_ == '-')) {
        exponent_negative = *pos_ == '-';
        ++pos_;
      }
      if (at_end()) return error_at_end(kEofValue);
      if (!is_digit(*pos_)) return error_at(kInvalidNumber, pos_);
      std::int32_t written = 0;
      for (; !at_end() && is_digit(*pos_); ++pos_) {
        const int digit = *pos_ - '0';
        if (written > (std::numeric_limits<std::int32_t>::max() - digit) / 10) {
          // An exponent beyond 32 bits: too large, or zero.
          if (!exponent_negative && significand != 0) return error_at(kNumberOutOfRange, pos_);
          while (!at_end() && is_digit(*pos_)) ++pos_;
          stack_.emplace_back(negative ? -0.0 : 0.0);
          return true;
        }
        written = written * 10 + digit;
      }
      exponent += exponent_negative ? -written : written;
    }

    if (is_integer && !overflowed) {
      constexpr std::uint64_t kMinNegativeMagnitude = std::uint64_t{1} << 63;
      if (!negative) {
        stack_.emplace_back(significand);
        return true;
      }
      if (significand != 0 && significand <= kMinNegativeMagnitude) {
        // Negated in unsigned arithmetic, so that -2^63 needs no special case.
        stack_.emplace_back(static_cast<std::int64_t>(0 - significand));
        return true;
      }
      // "-0" and integers below -2^63 are floats.
    }
    double magnitude;
    if (!scale_by_power_of_ten(significand, exponent, magnitude)) return error(kNumberOutOfRange, offset(pos_));
    stack_.emplace_back(negative ? -magnitude : magnitude);
    return true;
  }

  bool parse_string_array(std::vector<std::string>& strings) {
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    if (*pos_ != '[') return refuse_value("a sequence");
    if (!enter_container()) return false;
    skip_white_space();
    if (at_end()) return error_at_end(kEofList);
    for (bool closed = *pos_ == ']'; !closed;) {
      if (*pos_ != '"') return refuse_value("a string");
      std::string_view text;
      if (!parse_string(text)) return false;
      strings.emplace_back(text);
      if (!next_element(']', kExpectedListSeparator, kEofList, closed)) return false;
    }
    leave_container();
    return true;
  }

  // Refuses the value at pos_ as not being `wanted`. A scalar is read first,
  // so that its own syntax errors come first and its text can be named; an
  // array or object is named by its bracket alone.
  bool refuse_value(std::string_view wanted) {
    if (*pos_ == '[') return error(invalid_type("sequence", wanted), offset(pos_));
    if (*pos_ == '{') return error(invalid_type("map", wanted), offset(pos_));
    if (!parse_value()) return false;
    return error(invalid_type(describe(stack_.back()), wanted), offset(pos_));
  }

  const char* begin_;
  const char* pos_;
  const char* end_;
  int nesting_budget_ = kNestingBudget;
  JsonArena arena_;
  ReaderBuffers buffers_;
  std::vector<JsonValue>& stack_;
  JsonKeyOrder& key_order_;
  std::string& scratch_;
  std::string error_reason_;
  std::size_t error_consumed_ = 0;
};

Expected<JsonValue> read_json(std::string_view text) { return JsonReader(text).read_value_document(); }

Expected<std::vector<std::string>> read_json_string_array(std::string_view text) {
  return JsonReader(text).read_string_array_document();
}

}  // namespace corvane::encoding
