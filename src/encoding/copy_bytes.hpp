// Copying the short runs of bytes that JSON text is mostly made of.
#pragma once

#include <cstddef>
#include <cstring>

namespace corvane::encoding {

// memcpy, without a library call for short runs: two overlapping fixed-size
// copies cover any length from 4 to 32, and three single bytes any length
// from 1 to 3.
inline void copy_bytes(char* to, const char* from, std::size_t size) {
  if (size > 32) {
    std::memcpy(to, from, size);
  } else if (size >= 16) {
    std::memcpy(to, from, 16);
    std::memcpy(to + size - 16, from + size - 16, 16);
  } else if (size >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + size - 8, from + size - 8, 8);
  } else if (size >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + size - 4, from + size - 4, 4);
  } else if (size != 0) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
}

}  // namespace corvane::encoding
