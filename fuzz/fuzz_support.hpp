// What the fuzz targets share: reporting a finding, treating InternalFailure
// as one, and splitting fuzz data into fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/internal_failure.hpp"

namespace fuzz {

// Prints what went wrong and aborts, so that libFuzzer keeps the input and a
// replay run fails.
inline void require(bool condition, std::string_view what, std::string_view detail = "") {
  if (condition) return;
  std::fprintf(stderr, "FUZZ FINDING: %.*s\n  %.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// Runs one input; a broken invariant is a finding like any crash.
template <class Body>
int run_one(Body body) {
  try {
    body();
  } catch (const corvane::InternalFailure& failure) {
    require(false, "InternalFailure escaped", failure.what());
  }
  return 0;
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The function targets start from valid arguments and let the fuzzer replace
// some, so that most inputs get past the first checks. The data is a list of
// pieces ended by 0xFF, a byte that UTF-8 text never holds. A piece's first
// byte picks the field: 'a' the first, 'b' the second and so on, any other
// byte modulo the field count; the rest of the piece is the value. List
// elements are separated by 0xFE; numbers are decimal.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size, std::size_t count) : values_(count) {
    std::string_view rest = as_text(data, size);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\xFF');
      const std::string_view piece = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (piece.empty()) continue;
      const auto selector = static_cast<unsigned char>(piece.front());
      values_[selector >= 'a' && selector < 'a' + count ? selector - 'a' : selector % count] = piece.substr(1);
    }
  }

  bool has(std::size_t index) const { return index < values_.size() && values_[index].has_value(); }
  std::string_view text(std::size_t index, std::string_view fallback) const {
    return has(index) ? *values_[index] : fallback;
  }
  std::vector<std::uint8_t> bytes(std::size_t index, std::string_view fallback) const {
    const std::string_view value = text(index, fallback);
    return {value.begin(), value.end()};
  }
  std::vector<std::string> list(std::size_t index, std::vector<std::string> fallback) const {
    if (!has(index)) return fallback;
    std::vector<std::string> items;
    for (std::string_view rest = *values_[index]; !rest.empty();) {
      const std::size_t end = rest.find('\xFE');
      items.emplace_back(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return items;
  }
  std::uint64_t number(std::size_t index, std::uint64_t fallback) const {
    if (!has(index)) return fallback;
    std::uint64_t value = 0;
    for (const char c : *values_[index]) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return value;
  }

 private:
  std::vector<std::optional<std::string_view>> values_;
};

// Two outcomes are the same result, or the same error of the same kind.
template <class Outcome>
bool same_outcome(const Outcome& a, const Outcome& b) {
  if (a.ok() != b.ok()) return false;
  return a.ok() ? *a == *b : a.error().located_message() == b.error().located_message() && a.error().kind == b.error().kind;
}

}  // namespace fuzz
