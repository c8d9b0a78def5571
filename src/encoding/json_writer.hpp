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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "encoding/json_value.hpp"

namespace corvane::encoding {

// Appends the compact text of `value` to `out`.
void append_json(const JsonValue& value, std::string& out);
std::string to_json(const JsonValue& value);

// Appends `text` as a JSON string: quoted, with only the quote, the backslash
// and bytes below 0x20 escaped. For documents written member by member.
void append_json_string(std::string_view text, std::string& out);

namespace json_scan {

// Bit 8i + 7 is set where byte i of `word` is a quote, a backslash or below
// 0x20, and possibly above such a byte: (x - 0x01...) & ~x flags the zero
// bytes of x, and (x - 0x20...) & ~x those below 0x20, with false flags coming
// only from borrows out of a true match below them. So the lowest flag is
// always a true match.
inline std::uint64_t special_bytes(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  return (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((word - kOnes * 0x20) & ~word)) &
         (kOnes * 0x80);
}

// `Size` bytes from `p` as the low bytes of a word, the first lowest.
template <std::size_t Size>
inline std::uint64_t load_bytes(const char* p) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < Size; ++i) word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return word;  // compilers make this one load
}

#if defined(__SSE2__)
// Bit i is set where byte i of `bytes` is a quote, a backslash or below 0x20.
inline unsigned special_bytes(__m128i bytes) {
  const __m128i quote = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'));
  const __m128i backslash = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'));
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);  // unsigned <= 0x1F
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(quote, backslash), control)));
}
inline __m128i load16(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i load8(const char* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
#endif

}  // namespace json_scan

// The length of the longest prefix of `text` that a JSON string holds as it
// is: everything before the first quote, backslash or byte below 0x20. The
// reader and the writer both spend much of their time here, hence inline.
// Texts shorter than a block are read as two overlapping halves: the first
// flag of the first half, else of the second, marks the first special byte.
inline std::size_t json_string_plain_prefix(std::string_view text) {
  using namespace json_scan;
  const char* const p = text.data();
  const std::size_t size = text.size();
#if defined(__SSE2__)
  if (size >= 16) {
    std::size_t at = 0;
    for (; size - at >= 16; at += 16) {
      if (const unsigned flags = special_bytes(load16(p + at))) return at + std::countr_zero(flags);
    }
    if (at == size) return size;
    const unsigned flags = special_bytes(load16(p + size - 16));  // the last 16 bytes
    return flags != 0 ? size - 16 + std::countr_zero(flags) : size;
  }
  if (size >= 8) {
    const unsigned flags = special_bytes(_mm_unpacklo_epi64(load8(p), load8(p + size - 8)));
    if (flags & 0xFF) return std::countr_zero(flags);
    return flags != 0 ? size - 16 + std::countr_zero(flags) : size;
  }
#else
  std::size_t at = 0;
  for (; size - at >= 8; at += 8) {
    if (const std::uint64_t flags = special_bytes(load_bytes<8>(p + at))) return at + std::countr_zero(flags) / 8;
  }
  if (at != 0 && at != size) {
    const std::uint64_t flags = special_bytes(load_bytes<8>(p + size - 8));  // the last 8 bytes
    return flags != 0 ? size - 8 + std::countr_zero(flags) / 8 : size;
  }
  if (at == size) return size;
#endif
  if (size >= 4) {
    const std::uint64_t flags = special_bytes(load_bytes<4>(p) | load_bytes<4>(p + size - 4) << 32);
    if (flags & 0xFFFFFFFF) return std::countr_zero(flags) / 8;
    return flags != 0 ? size - 8 + std::countr_zero(flags) / 8 : size;
  }
  // Fewer than 4 bytes: their three positions at once, then one at a time
  // if any is special.
  if (size == 0) return 0;
  const std::uint64_t three = load_bytes<1>(p) | load_bytes<1>(p + size / 2) << 8 | load_bytes<1>(p + size - 1) << 16;
  if ((special_bytes(three) & 0x808080) == 0) return size;
  std::size_t plain = 0;
  while (p[plain] != '"' && p[plain] != '\\' && static_cast<unsigned char>(p[plain]) >= 0x20) ++plain;
  return plain;
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
