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
#include <span>

#include "encoding/copy_bytes.hpp"
#include "encoding/float_digits.hpp"

namespace corvane::encoding {
namespace {

// The most bytes a number or literal takes: "-1.7976931348623157e+308",
// "-0.00001234567890123456", "18446744073709551615".
constexpr std::size_t kMaxToken = 32;

// "00", "01", ... "99".
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The number of decimal digits of `value`: bit_width * log10(2) gives it or
// one less. value | 1 has as many (no power of ten above 1 is odd, and 0 has
// one digit, as 1 has).
int decimal_length(std::uint64_t value) {
  value |= 1;
  static constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                                                   1000000000, 10000000000, 100000000000, 1000000000000,
                                                   10000000000000, 100000000000000, 1000000000000000,
                                                   10000000000000000, 100000000000000000, 1000000000000000000,
                                                   10000000000000000000u};
  const int guess = std::bit_width(value) * 1233 >> 12;
  return guess + (value >= kPowersOfTen[guess] ? 1 : 0);
}

// Writes `value` in decimal; returns the end. Like std::to_chars, but with
// the length found at once, and the digits written from the last, two at a
// time, in chunks of eight whose 32-bit divisions need not wait for the next
// chunk's.
char* write_decimal(std::uint64_t value, char* out) {
  char* const end = out + decimal_length(value);
  char* p = end;
  const auto put_pair = [&](std::uint32_t pair) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * pair], 2);
  };
  while (value >= 100000000) {
    auto chunk = static_cast<std::uint32_t>(value % 100000000);
    value /= 100000000;
    for (int i = 0; i < 4; ++i, chunk /= 100) put_pair(chunk % 100);
  }
  auto rest = static_cast<std::uint32_t>(value);
  for (; rest >= 100; rest /= 100) put_pair(rest % 100);
  if (rest >= 10) {
    put_pair(rest);
  } else {
    *--p = static_cast<char>('0' + rest);
  }
  return end;
}

constexpr std::size_t kMaxEscape = 6;
static_assert(16 + kMaxEscape <= kMaxToken && kMaxToken == kMaxJsonFloatSize);

// Compact text is written straight into a window of memory, [next_, limit_).
// When a token does not fit, the output behind the window makes room: one
// that appends to a string grows the string, one that hands the text on in
// pieces hands on what the window holds and starts it over.
class Writer {
 public:
  // Scalars are written in line; only arrays and objects cost a call.
  void write_value(const JsonValue& value) {
    switch (value.kind()) {
      case JsonKind::null:
        return write_literal("null");
      case JsonKind::boolean:
        return value.as_bool() ? write_literal("true") : write_literal("false");
      case JsonKind::unsigned_integer:
        return write_integer(value.as_unsigned());
      case JsonKind::negative_integer:
        return write_integer(value.as_negative());
      case JsonKind::floating:
        return write_float(value.as_float());
      case JsonKind::string:
        return write_string(value.as_string());
      case JsonKind::array:
        return write_array(value.as_array());
      case JsonKind::object:
        return write_object(value.as_object());
    }
  }

  void write_string(std::string_view text) {
    const std::size_t plain = json_string_plain_prefix(text);
    if (plain == text.size() && text.size() + 2 <= room_left()) [[likely]] {  // nothing to escape, and it fits
      next_ = write_plain_json_string(text, next_);
      return;
    }
    write_string_in_runs(text, plain);
  }

 private:
  [[gnu::noinline]] void write_array(std::span<const JsonValue> items) {
    put('[');
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i != 0) put(',');
      write_value(items[i]);
    }
    put(']');
  }

  [[gnu::noinline]] void write_object(std::span<const JsonMember> members) {
    put('{');
    for (std::size_t i = 0; i < members.size(); ++i) {
      write_key(members[i].key(), i == 0);
      write_value(members[i].value());
    }
    put('}');
  }

  // A member's key with the comma before it and the colon after it.
  void write_key(std::string_view key, bool first) {
    const std::size_t plain = json_string_plain_prefix(key);
    if (plain == key.size() && key.size() + 4 <= room_left()) [[likely]] {
      char* q = next_;
      *q = ',';  // overwritten by the quote when there is no comma
      q = write_plain_json_string(key, q + (first ? 0 : 1));
      *q = ':';
      next_ = q + 1;
      return;
    }
    if (!first) put(',');
    write_string_in_runs(key, plain);
    put(':');
  }

  // A string with escapes or too long for the window; the first `plain`
  // bytes need no escape.
  [[gnu::noinline]] void write_string_in_runs(std::string_view text, std::size_t plain) {
    put('"');
    append(text.substr(0, plain));
    text.remove_prefix(plain);
    // Sixteen bytes at a time are copied whole, and as many of them kept as
    // are plain: escapes come often in text that has any.
    while (text.size() >= 16) {
      char* q = room(16 + kMaxEscape);
      const std::size_t run = json_scan::copy_block_until_special(text.data(), q);
      if (run == 16) {
        next_ = q + 16;
        text.remove_prefix(16);
        continue;
      }
      next_ = write_json_escape(static_cast<std::uint8_t>(text[run]), q + run);
      text.remove_prefix(run + 1);
    }
    if (room_left() >= text.size() * kMaxEscape + 1) {
      // The last few bytes one by one, as there is room to escape them all.
      char* q = next_;
      for (const char c : text) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
          q = write_json_escape(byte, q);
        } else {
          *q++ = c;
        }
      }
      *q++ = '"';
      next_ = q;
      return;
    }
    for (std::size_t run = json_string_plain_prefix(text);; run = json_string_plain_prefix(text)) {
      append(text.substr(0, run));
      if (run == text.size()) break;
      next_ = write_json_escape(static_cast<std::uint8_t>(text[run]), room(kMaxEscape));
      text.remove_prefix(run + 1);
    }
    put('"');
  }

 protected:
  // `make_room(size)` must leave at least `size` bytes in the window; size is
  // at most kMaxToken, the least a window holds.
  using MakeRoom = void (*)(Writer& writer, std::size_t size);
  explicit Writer(MakeRoom make_room) : make_room_(make_room) {}

  char* next_ = nullptr;
  char* limit_ = nullptr;

 private:
  std::size_t room_left() const { return static_cast<std::size_t>(limit_ - next_); }

  char* room(std::size_t size) {
    if (room_left() < size) [[unlikely]] make_room_(*this, size);
    return next_;
  }

  void put(char c) { *room(1) = c; ++next_; }

  // Text of any length, in as many windows as it takes.
  void append(std::string_view text) {
    while (text.size() > room_left()) {
      const std::size_t part = room_left();
      std::memcpy(next_, text.data(), part);
      next_ += part;
      text.remove_prefix(part);
      make_room_(*this, std::min(text.size(), kMaxToken));
    }
    copy_bytes(next_, text.data(), text.size());
    next_ += text.size();
  }

  template <std::size_t N>
  void write_literal(const char (&word)[N]) {
    std::memcpy(room(N - 1), word, N - 1);
    next_ += N - 1;
  }

  void write_integer(std::uint64_t value) { next_ = write_decimal(value, room(kMaxToken)); }
  void write_integer(std::int64_t value) {  // always negative
    char* q = room(kMaxToken);
    *q = '-';
    next_ = write_decimal(0 - static_cast<std::uint64_t>(value), q + 1);
  }

  void write_float(double value);

  MakeRoom make_room_;
};

// Appends to a string, which it grows as needed and trims when done.
class StringWriter : public Writer {
 public:
  StringWriter(std::string& out, std::size_t expected_size) : Writer(&grow), out_(out) {
    const std::size_t start = out_.size();
    out_.resize(start + expected_size);
    next_ = out_.data() + start;
    limit_ = out_.data() + out_.size();
  }
  ~StringWriter() { out_.resize(static_cast<std::size_t>(next_ - out_.data())); }
  StringWriter(const StringWriter&) = delete;
  StringWriter& operator=(const StringWriter&) = delete;

 private:
  static void grow(Writer& writer, std::size_t size) {
    auto& self = static_cast<StringWriter&>(writer);
    const std::size_t used = static_cast<std::size_t>(self.next_ - self.out_.data());
    self.out_.resize(std::max({used + size, 2 * used, std::size_t{128}}));
    self.next_ = self.out_.data() + used;
    self.limit_ = self.out_.data() + self.out_.size();
  }

  std::string& out_;
};

// Collects text in a buffer of fixed size and hands it on whenever a token
// does not fit.
class PieceWriter : public Writer {
 public:
  PieceWriter(std::size_t piece_size, const std::function<void(std::string_view)>& consume)
      : Writer(&hand_on), buffer_(new char[std::max(piece_size, kMaxToken)]), consume_(consume) {
    next_ = buffer_.get();
    limit_ = buffer_.get() + std::max(piece_size, kMaxToken);
  }

  void finish() {
    if (next_ != buffer_.get()) consume_(std::string_view(buffer_.get(), static_cast<std::size_t>(next_ - buffer_.get())));
  }

 private:
  static void hand_on(Writer& writer, std::size_t) {
    auto& self = static_cast<PieceWriter&>(writer);
    self.finish();
    self.next_ = self.buffer_.get();
  }

  std::unique_ptr<char[]> buffer_;
  const std::function<void(std::string_view)>& consume_;
};

// A positive finite value as its shortest decimal digits d1 d2 ... dn (those
// of std::to_chars) and the exponent E for which it is d1.d2...dn times 10^E.
struct Decimal {
  char digits[kMaxToken];
  int count = 0;
  int exponent = 0;
};

// 10^0 to 10^8, which binary64 holds exactly: values with up to eight decimal
// places, such as amounts, rates and most measurements.
constexpr double kScalingPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// The shortest digits for the common values that are n / 10^k for an integer
// n below 2^53 and a k of at most 8: a few nanoseconds, where the general
// algorithm takes tens. k = 0, 1, ... is tried in turn, so the first n found
// that reads back as the value exactly has the fewest digits. False when no
// such n exists or when a neighbour of n reads back too (then the closest one
// must be chosen).
bool shortest_decimal_by_scaling(double value, Decimal& decimal) {
  constexpr double kExactIntegers = 0x1p53;
  // Below 1 / 10^8 no n of at least 1 can be it: spare the tries.
  if (value < 1 / kScalingPowersOfTen[std::size(kScalingPowersOfTen) - 1]) return false;
  for (int k = 0; k < static_cast<int>(std::size(kScalingPowersOfTen)); ++k) {
    const double power = kScalingPowersOfTen[k];
    const double scaled = value * power;
    if (scaled >= kExactIntegers) return false;
    const double n = static_cast<double>(static_cast<std::uint64_t>(scaled + 0.5));  // no libm call
    // scaled is off by one rounding at most, so a far n cannot be it.
    if (std::fabs(scaled - n) > scaled * 0x1p-50) continue;
    // n / 10^k is rounded once, exactly as reading the digits back would be.
    if (n / power != value) continue;
    if ((n - 1) / power == value || (n + 1) / power == value) return false;
    char* end = write_decimal(static_cast<std::uint64_t>(n), decimal.digits);
    const int length = static_cast<int>(end - decimal.digits);
    while (end[-1] == '0') --end;  // only a whole number (k = 0) can end in zeros
    decimal.count = static_cast<int>(end - decimal.digits);
    decimal.exponent = length - 1 - k;
    return true;
  }
  return false;
}

// Any value: the digits of shortest_float_digits, which are those of
// std::to_chars.
Decimal shortest_decimal(double value) {
  Decimal decimal;
  if (shortest_decimal_by_scaling(value, decimal)) return decimal;
  const FloatDigits shortest = shortest_float_digits(value);
  decimal.count = static_cast<int>(write_decimal(shortest.digits, decimal.digits) - decimal.digits);
  decimal.exponent = shortest.exponent + decimal.count - 1;
  return decimal;
}

// Writes a non-zero value's decimal digits in the JSON float layout.
std::size_t layout_float(const Decimal& decimal, bool negative, char* out) {
  const int count = decimal.count;
  const int exponent = decimal.exponent;
  char* q = out;
  if (negative) *q++ = '-';
  const auto put_digits = [&](int from, int to) {
    if (to <= from) return;
    copy_bytes(q, decimal.digits + from, static_cast<std::size_t>(to - from));
    q += to - from;
  };
  const auto put_zeros = [&](int zeros) {
    for (int i = 0; i < zeros; ++i) *q++ = '0';
  };
  if (exponent >= 16 || exponent < -5) {
    *q++ = decimal.digits[0];
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

std::size_t format_float(double value, char* out) {
  const auto copy = [&](std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return text.size();
  };
  if (!std::isfinite(value)) return copy("null");
  if (value == 0) return copy(std::signbit(value) ? "-0.0" : "0.0");
  return layout_float(shortest_decimal(std::fabs(value)), value < 0, out);
}

void Writer::write_float(double value) {
  char* start = room(kMaxToken);
  next_ = start + format_float(value, start);
}

}  // namespace

void append_json(const JsonValue& value, std::string& out) { StringWriter(out, 64).write_value(value); }

std::string to_json(const JsonValue& value) {
  std::string out;
  append_json(value, out);
  return out;
}

void append_json_string(std::string_view text, std::string& out) {
  StringWriter(out, text.size() + 2).write_string(text);  // room enough unless there are escapes
}

void append_json_float(double value, std::string& out) {
  char text[kMaxToken];
  out.append(text, format_float(value, text));
}

char* write_json_float(double value, char* out) { return out + format_float(value, out); }

char* write_json_float_digits(bool negative, std::uint64_t digits, int exponent, char* out) {
  for (; digits % 10 == 0; digits /= 10) ++exponent;
  Decimal decimal;
  decimal.count = static_cast<int>(write_decimal(digits, decimal.digits) - decimal.digits);
  decimal.exponent = exponent + decimal.count - 1;
  return out + layout_float(decimal, negative, out);
}

char* write_json_string_body(std::string_view text, char* out) {
  while (true) {
    if (text.size() >= 16) {
      const std::size_t plain = json_scan::copy_block_until_special(text.data(), out);
      out += plain;
      text.remove_prefix(plain);
      if (plain == 16) continue;
    } else {
      const std::size_t plain = json_string_plain_prefix(text);
      copy_bytes(out, text.data(), plain);
      out += plain;
      text.remove_prefix(plain);
      if (text.empty()) return out;
    }
    out = write_json_escape(static_cast<std::uint8_t>(text[0]), out);
    text.remove_prefix(1);
  }
}

void write_json_in_pieces(const JsonValue& value, std::size_t piece_size,
                          const std::function<void(std::string_view)>& consume) {
  PieceWriter writer(piece_size, consume);
  writer.write_value(value);
  writer.finish();
}

}  // namespace corvane::encoding
