// The JSON tokenizer shared by every reader: which texts are accepted, the
// numbers they hold, and the error reasons and positions. What is made of the
// tokens is the builder's business (a value tree, or canonical text).
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "encoding/copy_bytes.hpp"
#include "encoding/json_string_scan.hpp"
#include "encoding/json_writer.hpp"

namespace corvane::encoding::json_parsing {

inline constexpr std::string_view kEofList = "EOF while parsing a list";
inline constexpr std::string_view kEofObject = "EOF while parsing an object";
inline constexpr std::string_view kEofString = "EOF while parsing a string";
inline constexpr std::string_view kEofValue = "EOF while parsing a value";
inline constexpr std::string_view kExpectedColon = "expected `:`";
inline constexpr std::string_view kExpectedListSeparator = "expected `,` or `]`";
inline constexpr std::string_view kExpectedObjectSeparator = "expected `,` or `}`";
inline constexpr std::string_view kExpectedIdent = "expected ident";
inline constexpr std::string_view kExpectedValue = "expected value";
inline constexpr std::string_view kInvalidEscape = "invalid escape";
inline constexpr std::string_view kInvalidNumber = "invalid number";
inline constexpr std::string_view kNumberOutOfRange = "number out of range";
inline constexpr std::string_view kControlCharacter = "control character (\\u0000-\\u001F) found while parsing a string";
inline constexpr std::string_view kKeyMustBeString = "key must be a string";
inline constexpr std::string_view kLoneSurrogate = "lone leading surrogate in hex escape";
inline constexpr std::string_view kTrailingComma = "trailing comma";
inline constexpr std::string_view kTrailingCharacters = "trailing characters";
inline constexpr std::string_view kUnexpectedEndOfHexEscape = "unexpected end of hex escape";
inline constexpr std::string_view kRecursionLimit = "recursion limit exceeded";

// Entering an array or object takes one; reaching zero is refused, so 127
// levels of nesting are accepted.
inline constexpr int kNestingBudget = 128;

// significand * 10^exponent with one rounded multiplication or division by a
// power of ten from a table (more only past 1e308): exact whenever the
// significand is below 2^53 and |exponent| <= 22, and otherwise the value the
// service computes too, which may differ from a correctly rounded conversion
// in the last bit. False when the result is too large.
bool scale_by_power_of_ten(std::uint64_t significand, std::int64_t exponent, double& result);

// Writes a code point as UTF-8; returns the number of bytes, at most 4.
inline std::size_t write_utf8(std::uint32_t code_point, char* out) {
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

// A number as builders receive it: its class, its value and its text as
// written, which for an integer is also its canonical form.
struct NumberToken {
  enum class Kind : std::uint8_t { unsigned_integer, negative_integer, floating } kind;
  std::uint64_t unsigned_value;  // or the magnitude of a negative one
  double float_value;
  std::string_view text;
  // A float written with at most 15 significant digits and a decimal
  // exponent of at most 22 either way is read by one exactly rounded
  // operation, and no shorter decimal reads as the same double: its digits
  // as written are its shortest digits. Then they are given here, as
  // float_value = (-)digits * 10^exponent; otherwise digits is 0.
  std::uint64_t digits = 0;
  int exponent = 0;
  // The text as written is the canonical form: always for an integer, and
  // for such a float written without an exponent, not ending in 0 and not
  // below 0.00001 (its canonical form is then the same digits, the same way).
  bool canonical_as_written = false;
};

// Reads one document from `text` into a Builder, which is told of each token
// as it is read: null_value(), bool_value(b), number(NumberToken),
// string_value(text, verbatim), begin_array() -> mark, array_comma(),
// end_array(mark), begin_object() -> mark, object_key(text, verbatim, first)
// and end_object(mark). String values come decoded, or in their canonical
// written form when Builder::kWantsCanonicalStrings; keys always decoded.
// `verbatim` says that a string had no escapes, so that its text is also its
// written form. A failed read stops at the first error, and the builder is
// abandoned.
template <class Builder>
class JsonParser {
 public:
  JsonParser(std::string_view text, Builder& builder, std::string& scratch)
      : begin_(text.data()), pos_(begin_), end_(begin_ + text.size()), builder_(builder), scratch_(scratch) {}

  // One value, surrounded by nothing but white space.
  bool read_document() { return parse_value() && expect_end(); }

  // "{reason} at line {line} column {column}" for the error found.
  std::string error_message() const {
    const std::string_view read(begin_, error_consumed_);
    const std::size_t last_line_feed = read.rfind('\n');
    const std::size_t line_start = last_line_feed == std::string_view::npos ? 0 : last_line_feed + 1;
    const auto line = std::count(read.begin(), read.end(), '\n') + 1;
    return error_reason_ + " at line " + std::to_string(line) + " column " + std::to_string(read.size() - line_start);
  }

  // For readers that take only some kinds of value at some place.
  bool at_end() const { return pos_ == end_; }
  char peek() const { return *pos_; }
  std::size_t offset() const { return static_cast<std::size_t>(pos_ - begin_); }
  void skip_white_space() {
    // Every token starts above the space, so one comparison usually decides.
    while (pos_ != end_ && static_cast<unsigned char>(*pos_) <= ' ' && is_white_space(*pos_)) ++pos_;
  }
  bool expect_end() {
    skip_white_space();
    return at_end() || error_at(kTrailingCharacters, pos_);
  }
  bool parse_value() {
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    return parse_value_here();
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
  // A string token. Its text is decoded, or, with `Canonical`, written as the
  // string's canonical text holds it (without the quotes); either way it
  // stays valid until the next string is read.
  template <bool Canonical = false>
  bool parse_string(std::string_view& text, bool& verbatim) {
    const char* const run = pos_ + 1;  // after the opening quote
    pos_ = run + json_string_plain_prefix(std::string_view(run, static_cast<std::size_t>(end_ - run)));
    if (pos_ != end_ && *pos_ == '"') [[likely]] {  // no escapes: the text is a slice of the input
      text = std::string_view(run, static_cast<std::size_t>(pos_ - run));
      verbatim = true;
      ++pos_;
      return true;
    }
    verbatim = false;
    return parse_escaped_string<Canonical>(run, text);
  }
  // After a value inside an array or object: true with pos_ on the next
  // element when a comma follows, false with `closed` set when `close` does.
  bool next_element(char close, std::string_view separator_reason, std::string_view eof_reason, bool& closed) {
    if (pos_ != end_ && *pos_ == ',') [[likely]] {  // most values end at their comma
      ++pos_;
    } else {
      skip_white_space();
      if (at_end()) return error_at_end(eof_reason);
      if (*pos_ == close) {
        closed = true;
        return true;
      }
      if (*pos_ != ',') return error_at(separator_reason, pos_);
      ++pos_;
    }
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    if (*pos_ == close) return error_at(kTrailingComma, pos_);
    return true;
  }
  bool error_at_end(std::string_view reason) { return error(reason, offset_of(end_)); }
  // Records an error found once `consumed` bytes were read; returns false so
  // that callers can `return error(...)`.
  [[gnu::cold, gnu::noinline]] bool error(std::string_view reason, std::size_t consumed) {
    error_reason_ = reason;
    error_consumed_ = consumed;
    return false;
  }

 private:
  static bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }
  // Whether the 8 bytes at `p` are all digits, and if so their value.
  static bool eight_digits(const char* p, std::uint64_t& value) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native != std::endian::little) word = __builtin_bswap64(word);
    // Each byte is 0x30-0x39 exactly when its high nibble is 3 and adding 6
    // leaves it so.
    if (((word & 0xF0F0F0F0F0F0F0F0) | (((word + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) !=
        0x3333333333333333) {
      return false;
    }
    word = (word & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;  // pairs of digits
    word = (word & 0x00FF00FF00FF00FF) * 6553601 >> 16;  // fours
    value = (word & 0x0000FFFF0000FFFF) * 42949672960001 >> 32;
    return true;
  }
  static bool is_white_space(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

  std::size_t offset_of(const char* p) const { return static_cast<std::size_t>(p - begin_); }
  bool error_at(std::string_view reason, const char* byte) { return error(reason, offset_of(byte) + 1); }

  // The value at pos_ and everything inside it. Arrays and objects are
  // entered and left on a stack of our own rather than by recursion, so that
  // no value costs a function call.
  bool parse_value_here() {
    using ArrayMark = decltype(builder_.begin_array());
    using ObjectMark = decltype(builder_.begin_object());
    struct Frame {
      ArrayMark array_mark;
      ObjectMark object_mark;
      bool is_object;
      bool first_member;  // no member of the object has been read yet
    };
    Frame frames[kNestingBudget];  // the budget refuses more before they fill
    int depth = 0;
    bool closed = false;
    std::string_view key;
    bool verbatim = false;
    // After an opening bracket: true with `closed` set when the container
    // closes at once.
    const auto opened = [&](Frame frame, std::string_view eof_reason, char close) {
      frames[depth++] = frame;
      skip_white_space();
      if (at_end()) return error_at_end(eof_reason);
      closed = *pos_ == close;
      return true;
    };

  value:  // pos_ is on the first byte of a value
    switch (*pos_) {
      case '"':
        if (!parse_string_value()) return false;
        goto after_value;
      case '[':
        if (!enter_container() || !opened({builder_.begin_array(), {}, false, false}, kEofList, ']')) return false;
        if (closed) goto close_array;
        goto value;
      case '{':
        if (!enter_container() || !opened({{}, builder_.begin_object(), true, true}, kEofObject, '}')) return false;
        if (closed) goto close_object;
        goto member;
      case 'n':
        if (!parse_literal("null")) return false;
        builder_.null_value();
        goto after_value;
      case 't':
        if (!parse_literal("true")) return false;
        builder_.bool_value(true);
        goto after_value;
      case 'f':
        if (!parse_literal("false")) return false;
        builder_.bool_value(false);
        goto after_value;
      case '-': case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        if (!parse_number()) return false;
        goto after_value;
      default:
        return error_at(kExpectedValue, pos_);
    }

  member:  // pos_ is on the first byte of an object member
    if (*pos_ != '"') return error_at(kKeyMustBeString, pos_);
    if (!parse_string(key, verbatim)) return false;
    builder_.object_key(key, verbatim, frames[depth - 1].first_member);
    frames[depth - 1].first_member = false;
    if (pos_ != end_ && *pos_ == ':') [[likely]] {
      ++pos_;
    } else {
      skip_white_space();
      if (at_end()) return error_at_end(kEofObject);
      if (*pos_ != ':') return error_at(kExpectedColon, pos_);
      ++pos_;
    }
    skip_white_space();
    if (at_end()) return error_at_end(kEofValue);
    goto value;

  after_value:
    if (depth == 0) return true;
    closed = false;
    if (!frames[depth - 1].is_object) {
      if (!next_element(']', kExpectedListSeparator, kEofList, closed)) return false;
      if (closed) goto close_array;
      builder_.array_comma();
      goto value;
    }
    if (!next_element('}', kExpectedObjectSeparator, kEofObject, closed)) return false;
    if (closed) goto close_object;
    goto member;

  close_array:
    leave_container();
    --depth;
    builder_.end_array(frames[depth].array_mark);
    goto after_value;

  close_object:
    leave_container();
    --depth;
    builder_.end_object(frames[depth].object_mark);
    goto after_value;
  }

  bool parse_string_value() {
    std::string_view text;
    bool verbatim;
    if (!parse_string<Builder::kWantsCanonicalStrings>(text, verbatim)) return false;
    builder_.string_value(text, verbatim);
    return true;
  }

  template <std::size_t N>
  bool parse_literal(const char (&word)[N]) {
    constexpr std::size_t size = N - 1;
    if (static_cast<std::size_t>(end_ - pos_) >= size && std::memcmp(pos_, word, size) == 0) [[likely]] {
      pos_ += size;
      return true;
    }
    ++pos_;  // the first letter chose the word
    for (std::size_t i = 1; i < size; ++i) {
      if (at_end()) return error_at_end(kEofValue);
      if (*pos_ != word[i]) return error_at(kExpectedIdent, pos_);
      ++pos_;
    }
    return true;
  }

  // The rest of a string whose first run, from `run` to pos_, ends in
  // something other than the closing quote. The decoded text goes into
  // scratch_, which only grows: there is always room for a 16-byte block and
  // an escape's bytes past the text, so that runs are copied a block at a time
  // without a bound check per byte.
  template <bool Canonical>
  [[gnu::noinline]] bool parse_escaped_string(const char* run, std::string_view& text) {
    // Locals throughout: stores through char* could change any member, so
    // the compiler would read each member again after every byte written.
    constexpr std::size_t kSlack = 32;
    const char* p = pos_;
    const char* const end = end_;
    std::size_t used = static_cast<std::size_t>(p - run);
    if (scratch_.size() < used + kSlack) scratch_.resize(std::max(2 * scratch_.size(), used + kSlack));
    char* out = scratch_.data();
    std::size_t room = scratch_.size();
    std::memcpy(out, run, used);
    while (true) {
      if (p == end) return error_at_end(kEofString);
      if (*p == '"') break;
      if (*p != '\\') return error_at(kControlCharacter, p);
      ++p;
      if (p == end) return error_at_end(kEofString);
      const char letter = *p++;
      if (letter != 'u') {
        const char decoded = kSingleLetterEscapes[static_cast<std::uint8_t>(letter)];
        if (decoded == 0) return error_at(kInvalidEscape, p - 1);
        if (Canonical && letter != '/') {  // written as it was read
          out[used] = '\\';
          out[used + 1] = letter;
          used += 2;
        } else {
          out[used++] = decoded;
        }
      } else {
        std::uint32_t code_point = 0;
        if (!parse_unicode_escape(p, code_point)) return false;
        if (code_point >= 0x80) {
          used += write_utf8(code_point, out + used);
        } else if (!Canonical || (code_point >= 0x20 && code_point != '"' && code_point != '\\')) {
          out[used++] = static_cast<char>(code_point);
        } else {
          used = static_cast<std::size_t>(write_json_escape(static_cast<std::uint8_t>(code_point), out + used) - out);
        }
      }
      // The run up to the next special byte, a block at a time.
      while (true) {
        if (room - used < kSlack) {
          scratch_.resize(2 * room);
          out = scratch_.data();
          room = scratch_.size();
        }
        if (const auto left = static_cast<std::size_t>(end - p); left < 16) {
          const std::size_t size = json_string_plain_prefix(std::string_view(p, left));
          copy_bytes(out + used, p, size);
          used += size;
          p += size;
          break;
        }
        const std::size_t plain = json_scan::copy_block_until_special(p, out + used);
        used += plain;
        p += plain;
        if (plain != 16) break;
      }
    }
    pos_ = p + 1;
    text = std::string_view(out, used);
    return true;
  }

  // The four hex digits after "\u" at `p`, which moves past them.
  bool parse_hex_digits(const char*& p, std::uint32_t& unit) {
    if (end_ - p < 4) return error_at_end(kEofString);
    const auto digit = [&](int i) { return int{kHexDigitValues[static_cast<std::uint8_t>(p[i])]}; };
    const int d0 = digit(0), d1 = digit(1), d2 = digit(2), d3 = digit(3);
    if ((d0 | d1 | d2 | d3) < 0) return error_at(kInvalidEscape, p + 3);  // the same place for any of them
    unit = static_cast<std::uint32_t>(d0 << 12 | d1 << 8 | d2 << 4 | d3);
    p += 4;
    return true;
  }

  // A "\uXXXX" escape, or a surrogate pair of two; `p` is after the "u" and
  // moves past the escape.
  bool parse_unicode_escape(const char*& p, std::uint32_t& code_point) {
    std::uint32_t unit = 0;
    if (!parse_hex_digits(p, unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return error(kLoneSurrogate, offset_of(p));
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (p == end_) return error_at_end(kEofString);
      if (*p != '\\') return error_at(kUnexpectedEndOfHexEscape, p);
      ++p;
      if (p == end_) return error_at_end(kEofString);
      if (*p != 'u') return error_at(kUnexpectedEndOfHexEscape, p);
      ++p;
      std::uint32_t low = 0;
      if (!parse_hex_digits(p, low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return error(kLoneSurrogate, offset_of(p));
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    code_point = unit;
    return true;
  }

  // What the digits read so far make: significand * 10^exponent.
  struct Digits {
    std::uint64_t significand = 0;
    std::int64_t exponent = 0;
    bool overflowed = false;        // once set, no further digit enters the significand
    std::ptrdiff_t unchecked = 19;  // digits that can be taken without a check: any 19 fit in 64 bits
  };

  // Numbers whose integer part has at most 19 digits, nearly all, have it
  // read here; the rest, and every error, go through parse_general_number.
  bool parse_number() {
    const char* const start = pos_;
    const bool negative = *pos_ == '-';
    const char* p = pos_ + (negative ? 1 : 0);
    const char* const first = p;
    if (p == end_) return parse_general_number(negative);
    Digits digits;
    if (*p == '0') {
      ++p;
    } else {
      const char* const stop = p + std::min<std::ptrdiff_t>(19, end_ - p);
      std::uint64_t significand = 0;
      for (std::uint64_t eight; stop - p >= 8 && eight_digits(p, eight); p += 8) significand = significand * 100000000 + eight;
      for (; p != stop && is_digit(*p); ++p) significand = significand * 10 + static_cast<unsigned>(*p - '0');
      digits.significand = significand;
    }
    if (p == first || (p != end_ && is_digit(*p))) return parse_general_number(negative);
    pos_ = p;
    if (p != end_ && (*p == '.' || (*p | 0x20) == 'e')) {
      digits.unchecked -= p - first;
      return parse_fraction_and_exponent(negative, start, digits);
    }
    return integer(negative, digits.significand, start);
  }

  // An integer of the grammar; "-0" is a float.
  bool integer(bool negative, std::uint64_t magnitude, const char* start) {
    const std::string_view text(start, static_cast<std::size_t>(pos_ - start));
    if (!negative) {
      builder_.number({NumberToken::Kind::unsigned_integer, magnitude, 0, text, 0, 0, true});
      return true;
    }
    constexpr std::uint64_t kMinNegativeMagnitude = std::uint64_t{1} << 63;
    if (magnitude != 0 && magnitude <= kMinNegativeMagnitude) {
      builder_.number({NumberToken::Kind::negative_integer, magnitude, 0, text, 0, 0, true});
      return true;
    }
    // "-0", and integers below -2^63.
    builder_.number({NumberToken::Kind::floating, 0, -static_cast<double>(magnitude), text});
    return true;
  }

  // Appends digit to significand unless the result would exceed 64 bits.
  static bool append_digit(std::uint64_t& significand, unsigned digit) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    constexpr std::uint64_t kAnyDigitFits = (kMax - 9) / 10;
    if (significand > kAnyDigitFits && significand > (kMax - digit) / 10) return false;
    significand = significand * 10 + digit;
    return true;
  }

  // Digits at pos_ into the significand, as many as need no check.
  std::ptrdiff_t take_unchecked_digits(Digits& digits) {
    const char* const first = pos_;
    const char* const stop = pos_ + std::min(digits.unchecked, end_ - pos_);
    const char* p = first;  // a local, so that the loop keeps it in a register
    std::uint64_t significand = digits.significand;
    for (std::uint64_t eight; stop - p >= 8 && eight_digits(p, eight); p += 8) significand = significand * 100000000 + eight;
    for (; p != stop && is_digit(*p); ++p) significand = significand * 10 + static_cast<unsigned>(*p - '0');
    digits.significand = significand;
    pos_ = p;
    digits.unchecked -= p - first;
    return p - first;
  }

  [[gnu::noinline]] bool parse_general_number(bool negative) {
    const char* const start = pos_;
    if (negative) ++pos_;
    if (at_end()) return error_at_end(kEofValue);
    Digits digits;
    if (*pos_ == '0') {
      ++pos_;
      if (!at_end() && is_digit(*pos_)) return error_at(kInvalidNumber, pos_);
    } else if (is_digit(*pos_)) {
      take_unchecked_digits(digits);
      for (; !at_end() && is_digit(*pos_); ++pos_) {
        digits.overflowed = digits.overflowed || !append_digit(digits.significand, static_cast<unsigned>(*pos_ - '0'));
        if (digits.overflowed) ++digits.exponent;  // a dropped integer digit still scales the value
      }
    } else {
      return error_at(kInvalidNumber, pos_);
    }
    return parse_fraction_and_exponent(negative, start, digits);
  }

  // The rest of a number after its integer part, and its value.
  [[gnu::noinline]] bool parse_fraction_and_exponent(bool negative, const char* start, Digits& digits) {
    bool is_integer = true;
    if (!at_end() && *pos_ == '.') {
      is_integer = false;
      ++pos_;
      if (at_end()) return error_at_end(kEofValue);
      if (!is_digit(*pos_)) return error_at(kInvalidNumber, pos_);
      if (!digits.overflowed) digits.exponent -= take_unchecked_digits(digits);
      for (; !at_end() && is_digit(*pos_); ++pos_) {
        digits.overflowed = digits.overflowed || !append_digit(digits.significand, static_cast<unsigned>(*pos_ - '0'));
        if (!digits.overflowed) --digits.exponent;  // a dropped fraction digit has no effect
      }
    }

    const bool has_exponent = !at_end() && (*pos_ == 'e' || *pos_ == 'E');
    if (has_exponent) {
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
          if (!exponent_negative && digits.significand != 0) return error_at(kNumberOutOfRange, pos_);
          while (!at_end() && is_digit(*pos_)) ++pos_;
          return floating(negative ? -0.0 : 0.0, start);
        }
        written = written * 10 + digit;
      }
      digits.exponent += exponent_negative ? -written : written;
    }

    const std::uint64_t significand = digits.significand;
    const std::int64_t exponent = digits.exponent;
    if (is_integer && !digits.overflowed) return integer(negative, significand, start);
    double magnitude;
    if (!scale_by_power_of_ten(significand, exponent, magnitude)) return error(kNumberOutOfRange, offset());
    constexpr std::uint64_t kShortestUpTo = 1000000000000000;  // 10^15
    if (!digits.overflowed && significand != 0 && significand < kShortestUpTo && exponent >= -22 && exponent <= 22) {
      // 10^0 ... 10^17: a fraction of f digits is at least 0.00001 when its
      // digits make at least 10^(f - 5).
      static constexpr std::uint64_t kPowers[18] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                                                    1000000000, 10000000000, 100000000000, 1000000000000,
                                                    10000000000000, 100000000000000, 1000000000000000,
                                                    10000000000000000, 100000000000000000};
      const bool as_written = !has_exponent && pos_[-1] != '0' && (exponent >= -5 || significand >= kPowers[-exponent - 5]);
      return floating(negative ? -magnitude : magnitude, start, significand, static_cast<int>(exponent), as_written);
    }
    return floating(negative ? -magnitude : magnitude, start);
  }

  bool floating(double value, const char* start, std::uint64_t digits = 0, int exponent = 0,
                bool canonical_as_written = false) {
    builder_.number({NumberToken::Kind::floating, 0, value,
                     std::string_view(start, static_cast<std::size_t>(pos_ - start)), digits, exponent,
                     canonical_as_written});
    return true;
  }

  // The value of each hex digit; -1 for any other byte.
  static constexpr std::array<std::int8_t, 256> kHexDigitValues = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
    for (int i = 0; i < 6; ++i) {
      table['a' + i] = static_cast<std::int8_t>(10 + i);
      table['A' + i] = static_cast<std::int8_t>(10 + i);
    }
    return table;
  }();

  // What each letter after a backslash stands for; 0 for no such escape.
  static constexpr std::array<char, 256> kSingleLetterEscapes = [] {
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

  const char* begin_;
  const char* pos_;
  const char* end_;
  int nesting_budget_ = kNestingBudget;
  Builder& builder_;
  std::string& scratch_;
  std::string error_reason_;
  std::size_t error_consumed_ = 0;
};

}  // namespace corvane::encoding::json_parsing
