// RFC 3339 timestamps: the strict parser with its exact messages, and the one
// canonical text of a value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/expected.hpp"

namespace corvane::encoding {

// A date and time of day with its own UTC offset. The offset stays part of the
// value: 12:00:00+01:00 and 11:00:00Z are different values with different texts.
struct Timestamp {
  std::int32_t year;
  std::uint8_t month, day, hour, minute, second;
  std::uint32_t nanosecond;
  std::int32_t offset_seconds;

  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

// "YYYY-MM-DDTHH:MM:SS.fffffffff+HH:MM" is the longest canonical text.
inline constexpr std::size_t max_rfc3339_length = 35;
using Rfc3339Buffer = std::array<char, max_rfc3339_length>;

// Parses the text exactly as given (no trimming). A leap second is kept as
// 23:59:59.999999999 local time.
corvane::Expected<Timestamp> parse_rfc3339(std::string_view text);

// Writes the canonical text of `value` into `buffer` and returns the part used.
// Fails for a year outside 0..9999, an offset of 24 hours or more, or an offset
// that is not a whole number of minutes. Any other field out of its range is a
// broken invariant and throws InternalFailure.
corvane::Expected<std::string_view> write_rfc3339(const Timestamp& value, Rfc3339Buffer& buffer);

// write_rfc3339 as an owned string.
corvane::Expected<std::string> format_rfc3339(const Timestamp& value);

}  // namespace corvane::encoding
