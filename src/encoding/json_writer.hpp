// Writing JSON values as compact text: no white space, object members in the
// order the value holds them, one fixed form for every number and string.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "encoding/copy_bytes.hpp"
#include "encoding/json_string_scan.hpp"
#include "encoding/json_value.hpp"

namespace corvane::encoding {

// Appends the compact text of `value` to `out`.
void append_json(const JsonValue& value, std::string& out);
std::string to_json(const JsonValue& value);

// Appends `text` as a JSON string: quoted, with only the quote, the backslash
// and bytes below 0x20 escaped. For documents written member by member.
void append_json_string(std::string_view text, std::string& out);

// Appends the JSON form of a float: the shortest digits that read back to the
// same value, e.g. "1.0", "0.00001", "1e-6", "1000000000000000.0", "1e+16",
// "-0.0"; "null" for a value that is not finite.
void append_json_float(double value, std::string& out);

// For writers that manage their own buffer: the float form at `out`, which
// has room for kMaxJsonFloatSize bytes, and the escaped text of a string
// without its quotes at `out`, which has room for 6 bytes per byte of `text`.
// Both return the end of what they wrote.
inline constexpr std::size_t kMaxJsonFloatSize = 32;
char* write_json_float(double value, char* out);
// The form of the float whose shortest digits are those of `digits` (not 0),
// trailing zeros aside, times 10^exponent.
char* write_json_float_digits(bool negative, std::uint64_t digits, int exponent, char* out);
char* write_json_string_body(std::string_view text, char* out);

namespace json_escapes {
// The escape of each byte up to the backslash, and in byte 7 its length.
constexpr std::array<std::array<char, 8>, '\\' + 1> kTable = [] {
  std::array<std::array<char, 8>, '\\' + 1> table{};
  constexpr char kHex[] = "0123456789abcdef";
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF], 0, 6};
  const auto letter = [&](char byte, char letter) { table[static_cast<unsigned char>(byte)] = {'\\', letter, 0, 0, 0, 0, 0, 2}; };
  letter('"', '"');
  letter('\\', '\\');
  letter('\b', 'b');
  letter('\t', 't');
  letter('\n', 'n');
  letter('\f', 'f');
  letter('\r', 'r');
  return table;
}();
}  // namespace json_escapes

// Writes `text`, which needs no escape, in quotes at `out`; returns the end.
inline char* write_plain_json_string(std::string_view text, char* out) {
  out[0] = '"';
  copy_bytes(out + 1, text.data(), text.size());
  out[text.size() + 1] = '"';
  return out + text.size() + 2;
}

// Writes the escape of a byte that needs one (a quote, a backslash or a byte
// below 0x20) at `out`, which has room for 6 bytes; returns the end.
inline char* write_json_escape(std::uint8_t byte, char* out) {
  const auto& escape = json_escapes::kTable[byte];
  std::memcpy(out, escape.data(), 6);
  return out + escape[7];
}

// Hands the compact text of `value` to `consume` in consecutive pieces of at
// most `piece_size` bytes (raised to 32 if smaller), so that the whole text is
// never held at once.
void write_json_in_pieces(const JsonValue& value, std::size_t piece_size,
                          const std::function<void(std::string_view)>& consume);

}  // namespace corvane::encoding
