// Throughput and memory of reading a JSON document and taking its content
// digest, by way of the value tree and in one pass, on a generated ~10 MB
// document of mixed content.
//
//   bench_json_digest [document-path]
//
// With a path, the document is also written there, so that
// bench/json_digest_python.py can time the same bytes.
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "encoding/canonical_json.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"

namespace {

// Live and peak heap bytes, counted by the replaced operator new below.
std::atomic<std::size_t> live_bytes{0};
std::atomic<std::size_t> peak_bytes{0};

void count_allocation(void* block) {
  const std::size_t live = live_bytes += malloc_usable_size(block);
  std::size_t peak = peak_bytes.load();
  while (live > peak && !peak_bytes.compare_exchange_weak(peak, live)) {
  }
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  count_allocation(block);
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  live_bytes -= malloc_usable_size(block);
  std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }

namespace {

// A deterministic generator (SplitMix64), so every run sees the same document.
class Random {
 public:
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t bound) { return next() % bound; }
  template <class T>
  const T& pick(const std::vector<T>& items) { return items[below(items.size())]; }

 private:
  std::uint64_t state_ = 20240601;
};

// Mixed content in the spacing Python's json.dumps uses by default.
class DocumentGenerator {
 public:
  std::string generate(std::size_t target_size) {
    out_ = "{\"generator\": \"bench\", \"records\": [";
    for (std::size_t i = 0; out_.size() < target_size; ++i) {
      if (i != 0) out_ += ", ";
      record(i);
    }
    out_ += "]}";
    return std::move(out_);
  }

 private:
  void record(std::size_t index) {
    out_ += "{\"id\": " + std::to_string(index);
    out_ += ", \"name\": ";
    text(4 + random_.below(20));
    out_ += ", \"amount_cents\": " + std::to_string(random_.below(10000000));
    out_ += ", \"balance\": -" + std::to_string(1 + random_.below(1000000000000));
    out_ += ", \"ratio\": ";
    number();
    out_ += ", \"active\": ";
    out_ += random_.below(2) ? "true" : "false";
    out_ += ", \"parent\": null, \"tags\": [";
    for (std::uint64_t i = 0, n = random_.below(5); i < n; ++i) {
      if (i != 0) out_ += ", ";
      text(3 + random_.below(10));
    }
    out_ += "], \"measurements\": [";
    for (std::uint64_t i = 0, n = 2 + random_.below(8); i < n; ++i) {
      if (i != 0) out_ += ", ";
      number();
    }
    out_ += "], \"meta\": {\"zone\": ";
    text(6);
    out_ += ", \"created\": \"2024-0" + std::to_string(1 + random_.below(9)) + "-1" + std::to_string(random_.below(10)) +
            "T12:34:56.789Z\", \"limits\": {\"max\": 18446744073709551615, \"min\": -9223372036854775808}";
    out_ += ", \"Z\": [[1, 2], [3, [4, {\"deep\": \"\\u00e9\"}]]]}";
    if (random_.below(8) == 0) {
      out_ += ", \"description\": ";
      text(200 + random_.below(2000));
    }
    out_ += "}";
  }

  void number() {
    switch (random_.below(7)) {
      case 0: out_ += std::to_string(random_.below(1000)); break;
      case 1: out_ += std::to_string(random_.below(100000)) + "." + std::to_string(random_.below(100)); break;
      case 2: out_ += "-" + std::to_string(random_.below(1000)) + "." + std::to_string(random_.below(1000000)) + "e-" + std::to_string(random_.below(30)); break;
      case 3: out_ += std::to_string(1 + random_.below(9)) + "." + std::to_string(random_.next() % 100000000000000000) + "e+" + std::to_string(random_.below(300)); break;
      case 4: out_ += "0.000" + std::to_string(random_.below(100000)); break;
      case 5: out_ += std::to_string(random_.next()) + std::to_string(random_.below(1000000)); break;  // beyond 64 bits
      default: out_ += "-0"; break;
    }
  }

  // A JSON string of about `length` characters: ASCII words, non-ASCII text
  // written raw, and every kind of escape.
  void text(std::uint64_t length) {
    static const std::vector<std::string> pieces = {
        "alpha", "beta", "gamma", " ", " ", "payment", "intent", "-", "42", "caf\xC3\xA9",
        "\xE6\xBC\xA2\xE5\xAD\x97", "\xF0\x9F\x98\x80", "\\n", "\\t", "\\\"", "\\\\", "\\/",
        "\\u00e9", "\\u20ac", "\\ud83d\\ude00", "\\u0001", "Stra\xC3\x9F" "e",
    };
    out_ += '"';
    for (std::uint64_t written = 0; written < length;) {
      const std::string& piece = random_.pick(pieces);
      out_ += piece;
      written += piece.size();
    }
    out_ += '"';
  }

  Random random_;
  std::string out_;
};

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long max_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string document = DocumentGenerator().generate(10 * 1000 * 1000);
  if (argc > 1) {
    std::ofstream file(argv[1], std::ios::binary);
    file.write(document.data(), static_cast<std::streamsize>(document.size()));
    if (!file) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 1;
    }
  }
  const double megabytes = static_cast<double>(document.size()) / 1e6;
  std::printf("document: %.2f MB\n", megabytes);

  constexpr int kRepetitions = 7;
  std::vector<double> read_seconds;
  std::vector<double> canonical_seconds;
  std::vector<double> tree_seconds;
  std::vector<double> total_seconds;
  std::vector<double> cpu_seconds;
  std::size_t peak_extra = 0;
  const long rss_before = max_rss_kib();
  corvane::Digest tree_digest{};
  corvane::Digest digest{};
  for (int i = 0; i < kRepetitions; ++i) {
    // The value tree, then its digest.
    double start = thread_cpu_seconds();
    auto value = corvane::encoding::read_json(document);
    const double read_done = thread_cpu_seconds();
    if (!value) {
      std::fprintf(stderr, "read failed: %s\n", value.error().message.c_str());
      return 1;
    }
    tree_digest = corvane::encoding::content_digest(*value);
    const double tree_done = thread_cpu_seconds();
    read_seconds.push_back(read_done - start);
    tree_seconds.push_back(tree_done - start);
    value = corvane::encoding::JsonValue();

    // Reading as the functions do, into canonical text.
    start = thread_cpu_seconds();
    const bool canonical_read = corvane::encoding::read_canonical_json(document).ok();
    canonical_seconds.push_back(thread_cpu_seconds() - start);
    if (!canonical_read) return 1;

    // The digest in one pass, as the functions take it.
    const std::size_t live_before = live_bytes.load();
    peak_bytes = live_before;
    const auto wall_start = std::chrono::steady_clock::now();
    start = thread_cpu_seconds();
    digest = corvane::encoding::content_digest_of_json(document).value();
    cpu_seconds.push_back(thread_cpu_seconds() - start);
    total_seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count());
    peak_extra = std::max(peak_extra, peak_bytes.load() - live_before);
  }
  if (digest != tree_digest) {
    std::fprintf(stderr, "the one-pass digest differs from the value's\n");
    return 1;
  }
  const long rss_after = max_rss_kib();
  std::sort(read_seconds.begin(), read_seconds.end());
  std::sort(canonical_seconds.begin(), canonical_seconds.end());
  std::sort(tree_seconds.begin(), tree_seconds.end());
  std::sort(total_seconds.begin(), total_seconds.end());
  std::sort(cpu_seconds.begin(), cpu_seconds.end());
  const double median_total = total_seconds[kRepetitions / 2];
  const double median_read = read_seconds[kRepetitions / 2];
  const double median_tree = tree_seconds[kRepetitions / 2];

  std::printf("digest: ");
  for (const auto byte : digest) std::printf("%02x", byte);
  std::printf("\n");
  // CPU time of this thread: on a machine shared with other work, wall time
  // counts the others' too.
  std::printf("CPU time, median of %d:\n", kRepetitions);
  const double median_canonical = canonical_seconds[kRepetitions / 2];
  std::printf("  read_canonical_json (canonical text, as the functions read): %5.1f ms, %5.0f MB/s\n",
              median_canonical * 1e3, megabytes / median_canonical);
  std::printf("  read_json (value tree):                                      %5.1f ms, %5.0f MB/s\n", median_read * 1e3, megabytes / median_read);
  std::printf("  read_json + content_digest:                                  %5.1f ms, %5.0f MB/s\n", median_tree * 1e3, megabytes / median_tree);
  std::printf("  content_digest_of_json (1 pass, canonical text + BLAKE3):    %5.1f ms, %5.0f MB/s\n", cpu_seconds[kRepetitions / 2] * 1e3,
              megabytes / cpu_seconds[kRepetitions / 2]);
  std::printf("content_digest_of_json (1 pass), wall time: median %.1f ms, %.0f MB/s (best %.0f MB/s)\n",
              median_total * 1e3, megabytes / median_total, megabytes / total_seconds.front());
  std::printf("peak extra heap (1 pass): %.1f MB (%.2fx the input)\n", static_cast<double>(peak_extra) / 1e6,
              static_cast<double>(peak_extra) / static_cast<double>(document.size()));
  std::printf("max RSS growth:  %.1f MB\n", static_cast<double>(rss_after - rss_before) * 1024 / 1e6);
  return 0;
}
