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
[[noreturn]] inline void finding(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "FUZZ FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) std::fprintf(stderr, "  %.*s\n", static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void require(bool condition, std::string_view what, std::string_view detail = {}) {
  if (!condition) finding(what, detail);
}

// Runs one input; a broken invariant is a finding like any crash.
template <class Body>
int run_one(Body body) {
  try {
    body();
  } catch (const corvane::InternalFailure& failure) {
    finding("InternalFailure escaped", failure.what());
  }
  return 0;
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The function targets start from valid arguments and let the fuzzer replace
// some of them, so that most inputs get past the first checks. The data is a
// list of pieces ended by 0xFF, a byte that UTF-8 text (all that Python can
// pass as str) never holds. A piece's first byte picks the field: 'a' for the
// first, 'b' for the second and so on, any other byte modulo the field count;
// the rest of the piece is the field's value. A field given twice keeps its
// last value; a field not given keeps its default.
class Fields {
 public:
  static constexpr char kEnd = '\xFF';
  static constexpr char kListSeparator = '\xFE';  // also never in UTF-8

  Fields(const std::uint8_t* data, std::size_t size, std::size_t count) : values_(count) {
    std::string_view rest = as_text(data, size);
    while (!rest.empty()) {
      const std::size_t end = rest.find(kEnd);
      const std::string_view piece = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (piece.empty()) continue;
      const auto selector = static_cast<unsigned char>(piece.front());
      const std::size_t index =
          selector >= 'a' && selector < 'a' + count ? std::size_t{selector} - 'a' : selector % count;
      values_[index] = piece.substr(1);
    }
  }

  // Indexes past the field count are never given, so a target can ask for
  // fields that only some of its variants take.
  bool has(std::size_t index) const { return index < values_.size() && values_[index].has_value(); }

  std::string_view text(std::size_t index, std::string_view fallback) const {
    return has(index) ? *values_[index] : fallback;
  }

  // Bytes as given, for seeds.
  std::vector<std::uint8_t> bytes(std::size_t index, std::string_view fallback) const {
    const std::string_view value = text(index, fallback);
    return {value.begin(), value.end()};
  }

  // A list of texts separated by 0xFE; an empty value is the empty list.
  std::vector<std::string> list(std::size_t index, const std::vector<std::string>& fallback) const {
    if (!has(index)) return fallback;
    std::vector<std::string> items;
    std::string_view rest = *values_[index];
    if (rest.empty()) return items;
    while (true) {
      const std::size_t end = rest.find(kListSeparator);
      items.emplace_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    return items;
  }

  // An integer written in decimal, so that seeds stay readable; other bytes are
  // folded into a value so that every 64-bit pattern stays reachable.
  std::uint64_t number(std::size_t index, std::uint64_t fallback) const {
    if (!has(index)) return fallback;
    const std::string_view value = *values_[index];
    const bool negative = !value.empty() && value.front() == '-';
    const std::string_view digits = negative ? value.substr(1) : value;
    std::uint64_t number = 0;
    bool decimal = !digits.empty() && digits.size() <= 20;
    for (const char c : digits) {
      if (c < '0' || c > '9') decimal = false;
      number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (decimal) return negative ? 0 - number : number;
    number = 0;
    for (const char c : value) number = number * 257 + static_cast<unsigned char>(c);
    return number;
  }

 private:
  std::vector<std::optional<std::string_view>> values_;
};

}  // namespace fuzz
