#include "encoding/json_writer.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>

namespace corvane::encoding {
namespace {

// The most bytes a number or literal takes: "-1.7976931348623157e+308",
// "-0.00001234567890123456", "18446744073709551615".
constexpr std::size_t kMaxToken = 32;

// memcpy, without a library call for the short runs that most strings are:
// two overlapping fixed-size copies cover any length from 4 to 16.
inline void copy_bytes(char* to, const char* from, std::size_t size) {
  if (size >= 8 && size <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + size - 8, from + size - 8, 8);
  } else if (size >= 4 && size < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + size - 4, from + size - 4, 4);
  } else if (size < 4) {
    for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
  } else {
    std::memcpy(to, from, size);
  }
}

// Appends straight to a string.
class StringOutput {
 public:
  explicit StringOutput(std::string& out) : out_(out) {}
  void put(char c) { out_.push_back(c); }
  void append(std::string_view text) { out_.append(text); }
  // Room for `size` bytes (at most kMaxToken) to be written directly;
  // commit() says where the written bytes end.
  char* reserve(std::size_t size) {
    reserved_from_ = out_.size();
    out_.resize(reserved_from_ + size);
    return out_.data() + reserved_from_;
  }
  void commit(const char* end) { out_.resize(static_cast<std::size_t>(end - out_.data())); }

 private:
  std::string& out_;
  std::size_t reserved_from_ = 0;
};

// Collects text in a buffer of fixed size and hands it on whenever it is full.
class PieceOutput {
 public:
  PieceOutput(std::size_t piece_size, const std::function<void(std::string_view)>& consume)
      : capacity_(std::max(piece_size, kMaxToken)), buffer_(new char[capacity_]), consume_(consume) {}

  void put(char c) {
    if (size_ == capacity_) hand_on();
    buffer_[size_++] = c;
  }

  void append(std::string_view text) {
    while (text.size() > capacity_ - size_) {
      const std::size_t taken = capacity_ - size_;
      std::memcpy(buffer_.get() + size_, text.data(), taken);
      size_ = capacity_;
      text.remove_prefix(taken);
      hand_on();
    }
    copy_bytes(buffer_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }

  char* reserve(std::size_t size) {
    if (capacity_ - size_ < size) hand_on();
    return buffer_.get() + size_;
  }
  void commit(const char* end) { size_ = static_cast<std::size_t>(end - buffer_.get()); }

  void finish() {
    if (size_ != 0) hand_on();
  }

 private:
  void hand_on() {
    consume_(std::string_view(buffer_.get(), size_));
    size_ = 0;
  }

  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
  const std::function<void(std::string_view)>& consume_;
};

// Writes the escape for a byte that needs one; returns the end.
char* write_escape(std::uint8_t byte, char* q) {
  static constexpr char kHex[] = "0123456789abcdef";
  char letter = 0;
  switch (byte) {
    case '"': letter = '"'; break;
    case '\\': letter = '\\'; break;
    case '\b': letter = 'b'; break;
    case '\t': letter = 't'; break;
    case '\n': letter = 'n'; break;
    case '\f': letter = 'f'; break;
    case '\r': letter = 'r'; break;
  }
  *q++ = '\\';
  if (letter != 0) {
    *q++ = letter;
    return q;
  }
  const char unicode[] = {'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
  std::memcpy(q, unicode, sizeof unicode);
  return q + sizeof unicode;
}

template <class Output>
void write_string(std::string_view text, Output& out) {
  out.put('"');
  while (true) {
    const std::size_t plain = json_string_plain_prefix(text);
    out.append(text.substr(0, plain));
    if (plain == text.size()) break;
    char escape[6];
    const char* end = write_escape(static_cast<std::uint8_t>(text[plain]), escape);
    out.append(std::string_view(escape, static_cast<std::size_t>(end - escape)));
    text.remove_prefix(plain + 1);
  }
  out.put('"');
}

// A positive finite value as decimal digits d1 d2 ... dn, without trailing
// zeros, and the exponent E for which it is d1.d2...dn times 10^E.
struct Decimal {
  char digits[kMaxToken];
  int count = 0;
  int exponent = 0;
};

// 10^0 to 10^22, the powers of ten that binary64 holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The shortest digits for the common values that are n / 10^k for an integer
// n below 2^53: the general algorithm costs about 100 ns a value, this a few.
// k = 0, 1, ... is tried in turn, so the first n found that reads back as the
// value exactly has the fewest digits. False when no such n exists or when a
// neighbour of n reads back too (then the closest one must be chosen).
bool shortest_decimal_by_scaling(double value, Decimal& decimal) {
  constexpr double kExactIntegers = 0x1p53;
  for (int k = 0; k < static_cast<int>(std::size(kExactPowersOfTen)); ++k) {
    const double power = kExactPowersOfTen[k];
    const double scaled = value * power;
    if (scaled >= kExactIntegers) return false;
    const double n = static_cast<double>(static_cast<std::uint64_t>(scaled + 0.5));  // no libm call
    // scaled is off by one rounding at most, so a far n cannot be it.
    if (std::fabs(scaled - n) > scaled * 0x1p-50) continue;
    // n / 10^k is rounded once, exactly as reading the digits back would be.
    if (n / power != value) continue;
    if ((n - 1) / power == value || (n + 1) / power == value) return false;
    char* end = std::to_chars(decimal.digits, decimal.digits + kMaxToken, static_cast<std::uint64_t>(n)).ptr;
    const int length = static_cast<int>(end - decimal.digits);
    while (end[-1] == '0') --end;  // only a whole number (k = 0) can end in zeros
    decimal.count = static_cast<int>(end - decimal.digits);
    decimal.exponent = length - 1 - k;
    return true;
  }
  return false;
}

// Any value: the shortest round-trip digits of std::to_chars, which come as
// d[.ddd]e(+|-)x.
Decimal shortest_decimal(double value) {
  Decimal decimal;
  if (shortest_decimal_by_scaling(value, decimal)) return decimal;
  char scientific[kMaxToken];
  const char* const end = std::to_chars(scientific, scientific + kMaxToken, value, std::chars_format::scientific).ptr;
  const char* p = scientific;
  for (; *p != 'e'; ++p) {
    if (*p != '.') decimal.digits[decimal.count++] = *p;
  }
  std::from_chars(p + 2, end, decimal.exponent);
  if (p[1] == '-') decimal.exponent = -decimal.exponent;
  return decimal;
}

std::size_t format_float(double value, char* out) {
  const auto copy = [&](std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return text.size();
  };
  if (!std::isfinite(value)) return copy("null");
  if (value == 0) return copy(std::signbit(value) ? "-0.0" : "0.0");

  const Decimal decimal = shortest_decimal(std::fabs(value));
  const int count = decimal.count;
  const int exponent = decimal.exponent;
  char* q = out;
  if (value < 0) *q++ = '-';
  const auto put_digits = [&](int from, int to) {
    for (int i = from; i < to; ++i) *q++ = decimal.digits[i];
  };
  const auto put_zeros = [&](int zeros) {
    for (int i = 0; i < zeros; ++i) *q++ = '0';
  };
  if (exponent >= 16 || exponent < -5) {
    put_digits(0, 1);
    if (count > 1) {
      *q++ = '.';
      put_digits(1, count);
    }
    *q++ = 'e';
    *q++ = exponent < 0 ? '-' : '+';
    q = std::to_chars(q, out + kMaxToken, exponent < 0 ? -exponent : exponent).ptr;
  } else if (count - 1 <= exponent) {  // a whole number
    put_digits(0, count);
    put_zeros(exponent - count + 1);
    *q++ = '.';
    *q++ = '0';
  } else if (exponent < 0) {
    *q++ = '0';
    *q++ = '.';
    put_zeros(-exponent - 1);
    put_digits(0, count);
  } else {
    put_digits(0, exponent + 1);
    *q++ = '.';
    put_digits(exponent + 1, count);
  }
  return static_cast<std::size_t>(q - out);
}

template <class Integer, class Output>
void write_integer(Integer value, Output& out) {
  char* start = out.reserve(kMaxToken);
  out.commit(std::to_chars(start, start + kMaxToken, value).ptr);
}

template <class Output>
void write_float(double value, Output& out) {
  char* start = out.reserve(kMaxToken);
  out.commit(start + format_float(value, start));
}

template <class Output>
void write_value(const JsonValue& value, Output& out) {
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
    case JsonKind::floating:
      write_float(value.as_float(), out);
      return;
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
  StringOutput output(out);
  write_value(value, output);
}

std::string to_json(const JsonValue& value) {
  std::string out;
  append_json(value, out);
  return out;
}

void append_json_string(std::string_view text, std::string& out) {
  StringOutput output(out);
  write_string(text, output);
}

void append_json_float(double value, std::string& out) {
  char text[kMaxToken];
  out.append(text, format_float(value, text));
}

void write_json_in_pieces(const JsonValue& value, std::size_t piece_size,
                          const std::function<void(std::string_view)>& consume) {
  PieceOutput output(piece_size, consume);
  write_value(value, output);
  output.finish();
}

}  // namespace corvane::encoding
