// Base64 decoding and encoding, from arbitrary text.
//
// Properties: decoding accepts exactly the texts the encoder writes (so each
// byte string has one text), and any bytes encode to a text that decodes back
// to them.
#include <algorithm>
#include <cstdint>
#include <string>

#include "encoding/base64.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::encoding;
    const std::string_view text = fuzz::as_text(data, size);
    const auto decoded = decode_base64(text);
    if (decoded) {
      fuzz::require(encode_base64(*decoded) == text, "decoded a text the encoder does not write", text);
    } else {
      const std::string& message = decoded.error().message;
      fuzz::require(message.starts_with("Invalid length ") || message.starts_with("Invalid character '") ||
                        message.starts_with("Unused bits of '"),
                    "undocumented message", message);
    }
    const auto round_trip = decode_base64(encode_base64({data, size}));
    fuzz::require(round_trip.ok() && std::equal(round_trip->begin(), round_trip->end(), data, data + size) &&
                      round_trip->size() == size,
                  "encoded bytes do not decode back");
  });
}
