// Hex: decoded bytes encode back to the text in lower case; any bytes encode
// to lower-case digits that decode back to them.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <span>
#include <string>

#include "encoding/hex.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    std::string lower(fuzz::as_text(data, size));
    if (const auto decoded = decode_hex(lower)) {
      std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      fuzz::require(encode_hex(*decoded) == lower, "decoded bytes do not encode back to the text", lower);
    }
    const auto round_trip = decode_hex(encode_hex({data, size}));
    fuzz::require(round_trip && std::ranges::equal(*round_trip, std::span<const std::uint8_t>(data, size)),
                  "encoded bytes do not decode back");
  });
}
