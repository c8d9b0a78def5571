#include "encoding/json_writer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace corvane::encoding {
namespace {

// Where text goes: straight into a string, or through a buffer of bounded size
// that is handed on whenever it fills up.
class TextOutput {
 public:
  explicit TextOutput(std::string& out) : buffer_(out) {}
  TextOutput(std::string& buffer, std::size_t piece_size, const std::function<void(std::string_view)>& consume)
      : buffer_(buffer), limit_(std::max<std::size_t>(piece_size, 1)), consume_(&consume) {}

  void put(char c) {
    if (buffer_.size() >= limit_) hand_on();
    buffer_.push_back(c);
  }

  void append(std::string_view text) {
    while (text.size() > room()) {
      const std::size_t taken = room();
      buffer_.append(text.substr(0, taken));
      text.remove_prefix(taken);
      hand_on();
    }
    buffer_.append(text);
  }

  void finish() {
    if (consume_ != nullptr && !buffer_.empty()) hand_on();
  }

 private:
  std::size_t room() const { return limit_ - buffer_.size(); }

  void hand_on() {
    (*consume_)(buffer_);
    buffer_.clear();
  }

  std::string& buffer_;
  std::size_t limit_ = std::numeric_limits<std::size_t>::max();  // never reached when writing to a string
  const std::function<void(std::string_view)>* consume_ = nullptr;
};

constexpr std::array<bool, 256> kNeedsEscape = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

void write_escape(std::uint8_t byte, TextOutput& out) {
  switch (byte) {
    case '"': out.append("\\\""); return;
    case '\\': out.append("\\\\"); return;
    case '\b': out.append("\\b"); return;
    case '\t': out.append("\\t"); return;
    case '\n': out.append("\\n"); return;
    case '\f': out.append("\\f"); return;
    case '\r': out.append("\\r"); return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
  out.append(std::string_view(escape, sizeof escape));
}

void write_string(std::string_view text, TextOutput& out) {
  out.put('"');
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (!kNeedsEscape[byte]) continue;
    out.append(text.substr(run_start, i - run_start));
    write_escape(byte, out);
    run_start = i + 1;
  }
  out.append(text.substr(run_start));
  out.put('"');
}

// Long enough for "-1.7976931348623157e+308" and "-0.00001234567890123456".
constexpr std::size_t kFloatTextCapacity = 32;

std::size_t format_float(double value, char* out) {
  const auto copy = [&](std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return text.size();
  };
  if (!std::isfinite(value)) return copy("null");
  if (value == 0) return copy(std::signbit(value) ? "-0.0" : "0.0");

  // The shortest round-trip digits, as d[.ddd]e(+|-)x.
  char scientific[kFloatTextCapacity];
  const char* const scientific_end =
      std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value), std::chars_format::scientific).ptr;
  char digits[kFloatTextCapacity];
  int digit_count = 0;
  const char* p = scientific;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[digit_count++] = *p;
  }
  const bool exponent_negative = p[1] == '-';
  int exponent = 0;
  std::from_chars(p + 2, scientific_end, exponent);
  if (exponent_negative) exponent = -exponent;

  char* q = out;
  if (value < 0) *q++ = '-';
  const auto put_digits = [&](int from, int to) {
    for (int i = from; i < to; ++i) *q++ = digits[i];
  };
  const auto put_zeros = [&](int count) {
    for (int i = 0; i < count; ++i) *q++ = '0';
  };
  if (exponent >= 16 || exponent < -5) {
    put_digits(0, 1);
    if (digit_count > 1) {
      *q++ = '.';
      put_digits(1, digit_count);
    }
    *q++ = 'e';
    *q++ = exponent_negative ? '-' : '+';
    q = std::to_chars(q, out + kFloatTextCapacity, exponent_negative ? -exponent : exponent).ptr;
  } else if (digit_count - 1 <= exponent) {  // a whole number
    put_digits(0, digit_count);
    put_zeros(exponent - digit_count + 1);
    *q++ = '.';
    *q++ = '0';
  } else if (exponent < 0) {
    *q++ = '0';
    *q++ = '.';
    put_zeros(-exponent - 1);
    put_digits(0, digit_count);
  } else {
    put_digits(0, exponent + 1);
    *q++ = '.';
    put_digits(exponent + 1, digit_count);
  }
  return static_cast<std::size_t>(q - out);
}

template <class Integer>
void write_integer(Integer value, TextOutput& out) {
  char text[24];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  out.append(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void write_value(const JsonValue& value, TextOutput& out) {
  switch (value.kind()) {
    case JsonKind::null:
      out.append("null");
      return;
    case JsonKind::boolean:
      out.append(value.as_bool() ? "true" : "false");
      return;
    case JsonKind::unsigned_integer:
      write_integer(value.as_unsigned(), out);
      return;
    case JsonKind::negative_integer:
      write_integer(value.as_negative(), out);
      return;
    case JsonKind::floating: {
      char text[kFloatTextCapacity];
      out.append(std::string_view(text, format_float(value.as_float(), text)));
      return;
    }
    case JsonKind::string:
      write_string(value.as_string(), out);
      return;
    case JsonKind::array: {
      out.put('[');
      bool first = true;
      for (const JsonValue& item : value.as_array()) {
        if (!first) out.put(',');
        first = false;
        write_value(item, out);
      }
      out.put(']');
      return;
    }
    case JsonKind::object: {
      out.put('{');
      bool first = true;
      for (const JsonMember& member : value.as_object()) {
        if (!first) out.put(',');
        first = false;
        write_string(member.key(), out);
        out.put(':');
        write_value(member.value(), out);
      }
      out.put('}');
      return;
    }
  }
}

}  // namespace

void append_json(const JsonValue& value, std::string& out) {
  TextOutput output(out);
  write_value(value, output);
}

std::string to_json(const JsonValue& value) {
  std::string out;
  append_json(value, out);
  return out;
}

void append_json_string(std::string_view text, std::string& out) {
  TextOutput output(out);
  write_string(text, output);
}

void append_json_float(double value, std::string& out) {
  char text[kFloatTextCapacity];
  out.append(text, format_float(value, text));
}

void write_json_in_pieces(const JsonValue& value, std::size_t piece_size,
                          const std::function<void(std::string_view)>& consume) {
  std::string buffer;
  TextOutput output(buffer, piece_size, consume);
  write_value(value, output);
  output.finish();
}

}  // namespace corvane::encoding
