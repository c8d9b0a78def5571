// Finding the bytes that end a run of JSON string text: the quote, the
// backslash and the control bytes below 0x20. The reader and the writer both
// spend much of their time here, hence inline.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane::encoding {
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

// Fewer than 8 bytes, in one or two overlapping words.
inline std::size_t plain_prefix_of_short(const char* p, std::size_t size) {
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

// The portable scan, eight bytes a word; used where SSE2 is missing, and
// tested on its own everywhere.
inline std::size_t plain_prefix_portable(const char* p, std::size_t size) {
  std::size_t at = 0;
  for (; size - at >= 8; at += 8) {
    if (const std::uint64_t flags = special_bytes(load_bytes<8>(p + at))) return at + std::countr_zero(flags) / 8;
  }
  if (at == size) return size;
  if (at != 0) {
    const std::uint64_t flags = special_bytes(load_bytes<8>(p + size - 8));  // the last 8 bytes
    return flags != 0 ? size - 8 + std::countr_zero(flags) / 8 : size;
  }
  return plain_prefix_of_short(p, size);
}

// Copies 16 bytes from `from` to `to` and returns how many of them come
// before the first special byte (16 if none is).
inline std::size_t copy_block_until_special_portable(const char* from, char* to) {
  std::memcpy(to, from, 16);
  if (const std::uint64_t flags = special_bytes(load_bytes<8>(from))) return std::countr_zero(flags) / 8;
  if (const std::uint64_t flags = special_bytes(load_bytes<8>(from + 8))) return 8 + std::countr_zero(flags) / 8;
  return 16;
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

inline std::size_t plain_prefix_sse2(const char* p, std::size_t size) {
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
    // Two overlapping halves: the first flag of the first half, else of the
    // second, marks the first special byte.
    const unsigned flags = special_bytes(_mm_unpacklo_epi64(load8(p), load8(p + size - 8)));
    if (flags & 0xFF) return std::countr_zero(flags);
    return flags != 0 ? size - 16 + std::countr_zero(flags) : size;
  }
  return plain_prefix_of_short(p, size);
}

inline std::size_t copy_block_until_special_sse2(const char* from, char* to) {
  const __m128i bytes = load16(from);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
  const unsigned flags = special_bytes(bytes);
  return flags != 0 ? static_cast<std::size_t>(std::countr_zero(flags)) : 16;
}
#endif

inline std::size_t copy_block_until_special(const char* from, char* to) {
#if defined(__SSE2__)
  return copy_block_until_special_sse2(from, to);
#else
  return copy_block_until_special_portable(from, to);
#endif
}

}  // namespace json_scan

// The length of the longest prefix of `text` that a JSON string holds as it
// is: everything before the first quote, backslash or byte below 0x20.
inline std::size_t json_string_plain_prefix(std::string_view text) {
#if defined(__SSE2__)
  return json_scan::plain_prefix_sse2(text.data(), text.size());
#else
  return json_scan::plain_prefix_portable(text.data(), text.size());
#endif
}

}  // namespace corvane::encoding
