// Putting object members in key byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::encoding {

// Sorts the members of one object at a time by key bytes (a key that is a
// proper prefix of another first) and drops repeated keys, keeping the last
// one given. Keys are compared by their prefix first: their first eight bytes
// as a big-endian number, zero-padded. Keys whose prefixes differ compare as
// their prefixes do, so most comparisons are one integer comparison instead of
// a call to memcmp. Reusing one instance for many objects reuses its buffers.
class JsonKeyOrder {
 public:
  // A key's prefix: its first eight bytes as a big-endian number, zero-padded.
  // A shorter key is read like copy_bytes reads: in two overlapping words, or
  // three single bytes.
  static std::uint64_t prefix(std::string_view key) {
    const char* const p = key.data();
    const std::size_t size = key.size();
    const auto load = [](const char* from, auto word) {
      std::memcpy(&word, from, sizeof word);
      return std::uint64_t{word};
    };
    std::uint64_t bytes = 0;  // the first byte lowest, as on a little-endian load
    if (size >= 8) {
      bytes = load(p, std::uint64_t{});
    } else if (size >= 4) {
      bytes = load(p, std::uint32_t{}) | load(p + size - 4, std::uint32_t{}) << (8 * (size - 4));
    } else if (size != 0) {
      bytes = std::uint64_t{static_cast<unsigned char>(p[0])} |
              std::uint64_t{static_cast<unsigned char>(p[size / 2])} << (8 * (size / 2)) |
              std::uint64_t{static_cast<unsigned char>(p[size - 1])} << (8 * (size - 1));
    }
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(bytes);
    std::uint64_t prefix = 0;  // elsewhere, byte by byte
    for (std::size_t i = 0; i < 8; ++i) prefix = prefix << 8 | (i < size ? static_cast<unsigned char>(p[i]) : 0);
    return prefix;
  }

  // The most members sorted at once so far.
  std::size_t capacity() const { return order_.size(); }

  // The positions of the members to keep, in key order. `key_of(i)` gives the
  // key of member i of `count` and `prefix_of(i)` its prefix; the result is
  // valid until the next call.
  template <class KeyOf, class PrefixOf>
  std::span<const std::uint32_t> sort(std::size_t count, KeyOf key_of, PrefixOf prefix_of) {
    if (entries_.size() < 2 * count) entries_.resize(2 * count);  // the entries, then room for merging
    if (order_.size() < count) order_.resize(count);
    bool repeated = false;
    Entry* const entries = entries_.data();
    const Entry* sorted = entries;
    if (count <= kInsertionSortLimit) {
      // Few members: an insertion sort, stable as it moves a member only past
      // greater ones.
      for (std::size_t i = 0; i < count; ++i) {
        const Entry entry = {prefix_of(i), static_cast<std::uint32_t>(i)};
        std::size_t at = i;
        for (; at > 0 && compare(entries[at - 1], entry, key_of, repeated) > 0; --at) entries[at] = entries[at - 1];
        entries[at] = entry;
      }
    } else {
      // A natural merge sort: runs already in order are found first, so that a
      // sorted object costs one comparison a member, and a nearly sorted one
      // little more.
      runs_.clear();
      for (std::size_t i = 0; i < count; ++i) {
        entries[i] = {prefix_of(i), static_cast<std::uint32_t>(i)};
        if (i == 0 || compare(entries[i - 1], entries[i], key_of, repeated) > 0) {
          runs_.push_back(static_cast<std::uint32_t>(i));
        }
      }
      runs_.push_back(static_cast<std::uint32_t>(count));
      if (runs_.size() > 2) sorted = merge_runs(count, key_of, repeated);
    }

    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
      // A run of equal keys is in the order given (the sort is stable), so its
      // last member is the one to keep. Only a comparison that found two keys
      // equal can have put them side by side.
      if (repeated && i + 1 < count && compare(sorted[i], sorted[i + 1], key_of, repeated) == 0) continue;
      order_[kept++] = sorted[i].position;
    }
    return std::span(order_).first(kept);
  }

 private:
  struct Entry {
    std::uint64_t prefix;
    std::uint32_t position;
  };
  static constexpr std::size_t kInsertionSortLimit = 16;

  template <class KeyOf>
  static int compare(const Entry& a, const Entry& b, KeyOf& key_of, bool& repeated) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
    const int order = key_of(a.position).compare(key_of(b.position));
    repeated = repeated || order == 0;
    return order;
  }

  // Merges neighbouring runs until one is left; returns where it lies.
  template <class KeyOf>
  Entry* merge_runs(std::size_t count, KeyOf& key_of, bool& repeated) {
    Entry* from = entries_.data();
    Entry* to = entries_.data() + count;
    while (runs_.size() > 2) {
      std::size_t kept = 0;
      std::size_t r = 0;
      for (; r + 2 < runs_.size(); r += 2) {
        runs_[kept++] = runs_[r];
        Entry* left = from + runs_[r];
        Entry* const left_end = from + runs_[r + 1];
        Entry* right = left_end;
        Entry* const right_end = from + runs_[r + 2];
        Entry* out = to + runs_[r];
        // Ties go to the left run, which came first: the sort is stable.
        while (left != left_end && right != right_end) {
          *out++ = compare(*left, *right, key_of, repeated) <= 0 ? *left++ : *right++;
        }
        // Loops rather than std::copy: the rest is short, and a call to
        // memmove would cost more than copying it.
        while (left != left_end) *out++ = *left++;
        while (right != right_end) *out++ = *right++;
      }
      if (r + 1 < runs_.size()) {  // an odd run out, carried over
        runs_[kept++] = runs_[r];
        for (std::uint32_t i = runs_[r]; i < runs_[r + 1]; ++i) to[i] = from[i];
      }
      runs_[kept++] = static_cast<std::uint32_t>(count);
      runs_.resize(kept);
      std::swap(from, to);
    }
    return from;
  }

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> runs_;  // where each run starts, then the count
  std::vector<std::uint32_t> order_;
};

}  // namespace corvane::encoding
