// RFC 3339 timestamps: a parsed value writes as 20 to 35 characters that
// parse back to the same value and write the same again; the writer, given
// any field values, writes what parses back or refuses, and never crashes
// (out-of-range calendar fields are a broken invariant by design).
#include <cstdint>
#include <cstring>
#include <string_view>

#include "encoding/rfc3339.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    const std::string_view text = fuzz::as_text(data, size);
    if (const auto parsed = parse_rfc3339(text)) {
      const auto written = format_rfc3339(*parsed);
      fuzz::require(written && written->size() >= 20 && written->size() <= 35, "a parsed value does not write", text);
      const auto reparsed = parse_rfc3339(*written);
      fuzz::require(reparsed && *reparsed == *parsed && format_rfc3339(*reparsed).value() == *written,
                    "the written text parses or writes otherwise", *written);
    }
    if (size < 18) return;
    Timestamp t;
    std::int32_t year, offset;
    std::memcpy(&year, data, 4);
    std::memcpy(&t.nanosecond, data + 9, 4);
    std::memcpy(&offset, data + 13, 4);
    t.year = data[17] & 1 ? year : year % 10'200 - 100;  // mostly near the valid ranges
    t.offset_seconds = data[17] & 2 ? offset : offset % (25 * 3600);
    t.month = data[4] % 13, t.day = data[5] % 32, t.hour = data[6] % 25, t.minute = data[7] % 61;
    t.second = data[8] % 61;
    try {
      if (const auto written = format_rfc3339(t)) {
        const auto parsed = parse_rfc3339(*written);
        fuzz::require(parsed && *parsed == t, "the written text of a value parses otherwise", *written);
      }
    } catch (const corvane::InternalFailure&) {
    }
  });
}
