// Hex decoding and encoding, from arbitrary text.
//
// Properties:
// - decoding succeeds exactly for an even number of hex digits of either
//   case, to half as many bytes, which encode back to the text in lower case;
// - otherwise the message is "Odd number of digits" exactly when the length
//   is odd, else "Invalid character {c} at position {i}" naming the first
//   byte that is no digit;
// - any bytes encode to lower-case digits that decode back to them.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/hex.hpp"
#include "fuzz_support.hpp"

namespace {

using corvane::encoding::decode_hex;
using corvane::encoding::encode_hex;

bool is_hex_digit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    const std::string_view text = fuzz::as_text(data, size);
    const auto decoded = decode_hex(text);
    const auto first_bad = std::find_if_not(text.begin(), text.end(), is_hex_digit);
    if (decoded) {
      fuzz::require(size % 2 == 0 && first_bad == text.end(), "decoded what is no even run of hex digits", text);
      fuzz::require(decoded->size() == size / 2, "decoded to the wrong number of bytes");
      std::string lower(text);
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
      fuzz::require(encode_hex(*decoded) == lower, "encoding the decoded bytes does not give the text back", text);
    } else if (size % 2 != 0) {
      fuzz::require(decoded.error().message == "Odd number of digits", "odd length gives another message", decoded.error().message);
    } else {
      fuzz::require(first_bad != text.end(), "refused an even run of hex digits", decoded.error().message);
      const std::string expected_tail = " at position " + std::to_string(first_bad - text.begin());
      const std::string& message = decoded.error().message;
      fuzz::require(message.starts_with("Invalid character '") && message.ends_with("'" + expected_tail),
                    "invalid character message of the wrong form or position", message);
      // The character literal: one character (ASCII as itself, else two UTF-8
      // bytes) or an escape.
      const std::string_view literal =
          std::string_view(message).substr(19, message.size() - 19 - expected_tail.size() - 1);
      const auto byte = static_cast<unsigned char>(*first_bad);
      if (byte >= 0x20 && byte < 0x7F && byte != '\'' && byte != '\\') {
        fuzz::require(literal.size() == 1 && literal.front() == *first_bad, "printable ASCII not shown as itself",
                      message);
      } else {
        fuzz::require(!literal.empty() && (literal.front() == '\\' || byte >= 0xA1),
                      "character literal neither an escape nor a Latin-1 character", message);
      }
    }

    const std::string encoded = encode_hex({data, size});
    fuzz::require(encoded.size() == 2 * size, "encoded to the wrong length");
    fuzz::require(std::all_of(encoded.begin(), encoded.end(),
                              [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }),
                  "encoded text is not lower-case hex", encoded);
    const auto round_trip = decode_hex(encoded);
    fuzz::require(round_trip.ok() && std::equal(round_trip->begin(), round_trip->end(), data, data + size),
                  "encoded bytes do not decode back");
  });
}
