// Writing JSON values as compact text: no white space, object members in the
// order the value holds them, one fixed form for every number and string.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "encoding/json_value.hpp"

namespace corvane::encoding {

// Appends the compact text of `value` to `out`.
void append_json(const JsonValue& value, std::string& out);
std::string to_json(const JsonValue& value);

// Appends `text` as a JSON string: quoted, with only the quote, the backslash
// and bytes below 0x20 escaped. For documents written member by member.
void append_json_string(std::string_view text, std::string& out);

// The length of the longest prefix of `text` that a JSON string holds as it
// is: everything before the first quote, backslash or byte below 0x20. The
// reader and the writer both spend much of their time here, hence inline.
inline std::size_t json_string_plain_prefix(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at a time: (x - 0x01...) & ~x has the high bit of a byte set
    // where x has a zero byte, and (x - 0x20...) & ~x where it has a byte
    // below 0x20. The lowest flagged byte is always a true match: false flags
    // come only from borrows out of a true match below them.
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    for (; end - p >= 8; p += 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t quote = word ^ (kOnes * '"');
      const std::uint64_t backslash = word ^ (kOnes * '\\');
      const std::uint64_t flags =
          (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((word - kOnes * 0x20) & ~word)) &
          kHighBits;
      if (flags != 0) return static_cast<std::size_t>(p - text.data()) + std::countr_zero(flags) / 8;
    }
  }
  while (p != end && *p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20) ++p;
  return static_cast<std::size_t>(p - text.data());
}

// Appends the JSON form of a float: the shortest digits that read back to the
// same value, e.g. "1.0", "0.00001", "1e-6", "1000000000000000.0", "1e+16",
// "-0.0"; "null" for a value that is not finite.
void append_json_float(double value, std::string& out);

// Hands the compact text of `value` to `consume` in consecutive pieces of at
// most `piece_size` bytes (raised to 32 if smaller), so that the whole text is
// never held at once.
void write_json_in_pieces(const JsonValue& value, std::size_t piece_size,
                          const std::function<void(std::string_view)>& consume);

}  // namespace corvane::encoding
