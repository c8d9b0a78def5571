// RFC 3339 timestamps: a parsed value writes as 20 to 35 characters that
// parse back to the same value and write the same again.
#include <cstdint>
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
  });
}
