#include "encoding/uuid.hpp"

#include <cstddef>

namespace corvane::encoding {
namespace {

constexpr std::size_t hyphenated_length = 36;
constexpr std::string_view urn_prefix = "urn:uuid:";
constexpr std::size_t group_starts[5] = {0, 9, 14, 19, 24};
constexpr std::size_t group_lengths[5] = {8, 4, 4, 4, 12};

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_hyphen_position(std::size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

// Reads 32 hex digits, with hyphens at their four places when `hyphenated`.
bool read_digits(std::string_view text, bool hyphenated, Uuid& uuid) {
  std::size_t nibble = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (hyphenated && is_hyphen_position(i)) {
      if (text[i] != '-') return false;
      continue;
    }
    const int value = hex_value(text[i]);
    if (value < 0) return false;
    std::uint8_t& byte = uuid[nibble / 2];
    byte = nibble % 2 == 0 ? static_cast<std::uint8_t>(value << 4) : static_cast<std::uint8_t>(byte | value);
    ++nibble;
  }
  return true;
}

bool is_continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// The well-formed UTF-8 sequence of the non-ASCII character starting at `pos`,
// or U+FFFD when the bytes there are not one.
std::string_view character_at(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[pos + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t second_min = 0x80, second_max = 0xBF;  // narrower after some leads: no overlongs, surrogates
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  }
  const std::string_view replacement = "\xEF\xBF\xBD";
  if (length == 0 || text.size() - pos < length) return replacement;
  if (byte(1) < second_min || byte(1) > second_max) return replacement;
  for (std::size_t i = 2; i < length; ++i)
    if (!is_continuation(byte(i))) return replacement;
  return text.substr(pos, length);
}

std::string invalid_length(std::size_t length) { return "invalid length: found " + std::to_string(length); }

// Why `part` is not a UUID. Positions are reported as `offset` + the position in
// `part`. Characters outside ASCII are reported as invalid characters. The
// length reported for a misplaced last group counts the whole text, braces or
// prefix included, as peers that compare messages expect.
std::string explain(std::string_view part, std::size_t offset, bool hyphenated, std::size_t text_length) {
  std::size_t hyphens = 0;
  std::size_t hyphen_at[4] = {};
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '-') {
      if (hyphens < 4) hyphen_at[hyphens] = i;
      ++hyphens;
    } else if (hex_value(c) < 0) {
      const std::string_view character =
          static_cast<std::uint8_t>(c) < 0x80 ? part.substr(i, 1) : character_at(part, i);
      return "invalid character: found `" + std::string(character) + "` at " + std::to_string(offset + i);
    }
  }
  if (!hyphenated && hyphens == 0) return invalid_length(part.size());
  if (hyphens != 4) return "invalid group count: expected 5, found " + std::to_string(hyphens + 1);
  const auto group_length = [](std::size_t group, std::size_t found) {
    return "invalid group length in group " + std::to_string(group) + ": expected " +
           std::to_string(group_lengths[group]) + ", found " + std::to_string(found);
  };
  for (std::size_t g = 0; g < 4; ++g) {
    const std::size_t expected_end = group_starts[g] + group_lengths[g];
    if (hyphen_at[g] != expected_end) return group_length(g, hyphen_at[g] - group_starts[g]);
  }
  // All four hyphens are in place, so the last group has the wrong length.
  return group_length(4, text_length - group_starts[4]);
}

}  // namespace

corvane::Expected<Uuid> parse_uuid(std::string_view text) {
  const std::size_t n = text.size();
  if (n == 0 || n > 45) return corvane::fail(invalid_length(n));

  std::string_view hyphenated;
  if (n == hyphenated_length)
    hyphenated = text;
  else if (n == hyphenated_length + 2 && text.front() == '{' && text.back() == '}')
    hyphenated = text.substr(1, hyphenated_length);
  else if (n == urn_prefix.size() + hyphenated_length && text.starts_with(urn_prefix))
    hyphenated = text.substr(urn_prefix.size());

  Uuid uuid{};
  if (!hyphenated.empty()) {
    if (read_digits(hyphenated, true, uuid)) return uuid;
    // A text of one of the hyphenated forms is judged by its 36-character part
    // alone, with positions counted from the start of that part.
    return corvane::fail(explain(hyphenated, 0, true, hyphenated_length));
  }
  if (n == 32 && read_digits(text, false, uuid)) return uuid;

  // Any other text: positions count from the start of the whole text.
  if (text.front() == '{' && text.back() == '}') return corvane::fail(explain(text.substr(1, n - 2), 1, true, n));
  if (text.starts_with(urn_prefix))
    return corvane::fail(explain(text.substr(urn_prefix.size()), urn_prefix.size(), true, n));
  return corvane::fail(explain(text, 0, false, n));
}

std::string format_uuid(const Uuid& uuid) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text(hyphenated_length, '-');
  std::size_t pos = 0;
  for (std::size_t i = 0; i < uuid.size(); ++i) {
    if (is_hyphen_position(pos)) ++pos;
    text[pos++] = digits[uuid[i] >> 4];
    text[pos++] = digits[uuid[i] & 0x0F];
  }
  return text;
}

}  // namespace corvane::encoding
