// UUIDs: an accepted text writes as 36 characters that parse back to the
// same bytes, as do the written form's upper-case, braced and urn spellings.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "encoding/uuid.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    const auto parsed = parse_uuid(fuzz::as_text(data, size));
    if (!parsed) return;
    const std::string written = format_uuid(*parsed);
    std::string upper = written;
    std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    fuzz::require(written.size() == 36, "a written UUID is not 36 characters", written);
    for (const std::string& spelling : {written, upper, "{" + written + "}", "urn:uuid:" + written}) {
      const auto again = parse_uuid(spelling);
      fuzz::require(again && *again == *parsed, "a spelling of the written UUID parses otherwise", spelling);
    }
  });
}
