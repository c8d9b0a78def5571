// RFC 3339 timestamps, from arbitrary text and from arbitrary field values.
//
// Properties:
// - a parsed value has every field in range, writes without failure as 20 to
//   35 characters, and that text parses back to the same value and writes
//   the same again;
// - a refused text gets one of the documented messages;
// - the writer, given any value whose fields are in their calendar ranges,
//   either writes a text that parses back to that value or fails with one of
//   its three documented messages; out-of-range fields are a broken invariant
//   by design, reported as InternalFailure.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "encoding/rfc3339.hpp"
#include "fuzz_support.hpp"

namespace {

using corvane::encoding::format_rfc3339;
using corvane::encoding::parse_rfc3339;
using corvane::encoding::Timestamp;

constexpr std::array<std::string_view, 18> kParseMessages = {
    "the 'year' component could not be parsed",
    "the 'month' component could not be parsed",
    "the 'day' component could not be parsed",
    "the 'separator' component could not be parsed",
    "the 'hour' component could not be parsed",
    "the 'minute' component could not be parsed",
    "the 'second' component could not be parsed",
    "the 'subsecond' component could not be parsed",
    "the 'offset hour' component could not be parsed",
    "the 'offset minute' component could not be parsed",
    "a character literal was not valid",
    "offset minute was not in range",
    "unexpected trailing characters; the end of input was expected",
    "month was not in range",
    "day was not in range",
    "hour was not in range",
    "minute was not in range",
    "second was not in range",
};

constexpr std::array<std::string_view, 3> kWriteMessages = {
    "The year component cannot be formatted into the requested format.",
    "The offset_hour component cannot be formatted into the requested format.",
    "The offset_second component cannot be formatted into the requested format.",
};

bool is_leap_year(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool fields_in_range(const Timestamp& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12) return false;
  const int days = t.month == 2 && is_leap_year(t.year) ? 29 : kDays[t.month - 1];
  return t.day >= 1 && t.day <= days && t.hour <= 23 && t.minute <= 59 && t.second <= 59 &&
         t.nanosecond <= 999'999'999;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int number_at(std::string_view text, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// For a well-formed text with second 60: whether that moment, taken to UTC,
// is 23:59:60 on the last day of a month. Worked out on a day count, apart
// from the parser's own arithmetic.
bool is_leap_second_moment(std::string_view text) {
  const int year = number_at(text, 0, 4), month = number_at(text, 5, 2), day = number_at(text, 8, 2);
  const int hour = number_at(text, 11, 2), minute = number_at(text, 14, 2);
  int offset = 0;
  if (text.back() != 'Z' && text.back() != 'z') {
    const std::string_view sign_and_offset = text.substr(text.size() - 6);
    offset = number_at(sign_and_offset, 1, 2) * 60 + number_at(sign_and_offset, 4, 2);
    if (sign_and_offset.front() == '-') offset = -offset;
  }
  const std::int64_t utc_minutes = days_from_civil(year, month, day) * 1440 + hour * 60 + minute - offset;
  if (((utc_minutes % 1440) + 1440) % 1440 != 1439) return false;
  // The last minute of a month: the next minute is on the first of a month.
  const std::int64_t next_day = (utc_minutes + 1 - (((utc_minutes + 1) % 1440) + 1440) % 1440) / 1440;
  for (int m = 1; m <= 12; ++m) {
    for (const int y : {year - 1, year, year + 1}) {
      if (days_from_civil(y, m, 1) == next_day) return true;
    }
  }
  return false;
}

bool has_second_60(std::string_view text) { return text.size() >= 19 && text.substr(17, 2) == "60"; }

void check_parsed(std::string_view text, const Timestamp& value) {
  if (has_second_60(text)) {
    fuzz::require(is_leap_second_moment(text), "accepted a second 60 that is no UTC leap second", text);
    fuzz::require(value.second == 59 && value.nanosecond == 999'999'999, "leap second not kept as 59.999999999",
                  text);
  }
  fuzz::require(value.year >= 0 && value.year <= 9999 && fields_in_range(value), "parsed field out of range", text);
  fuzz::require(value.offset_seconds % 60 == 0 && value.offset_seconds > -24 * 3600 &&
                    value.offset_seconds < 24 * 3600,
                "parsed offset out of range", text);
  const auto written = format_rfc3339(value);
  if (!written) fuzz::finding("writer refuses a parsed value", written.error().message);
  fuzz::require(written->size() >= 20 && written->size() <= 35, "written text of the wrong length", *written);
  const auto reparsed = parse_rfc3339(*written);
  if (!reparsed) fuzz::finding("written text is refused", *written + ": " + reparsed.error().message);
  fuzz::require(*reparsed == value, "written text parses as another value", *written);
  const auto rewritten = format_rfc3339(*reparsed);
  fuzz::require(rewritten.ok() && *rewritten == *written, "write, parse, write changes the text", *written);
}

// A value straight from 18 bytes of fuzz data, for the writer alone.
void check_writer(const std::uint8_t* data) {
  Timestamp t;
  std::int32_t year, offset;
  std::memcpy(&year, data, 4);
  std::memcpy(&t.nanosecond, data + 9, 4);
  std::memcpy(&offset, data + 13, 4);
  // Mostly near the valid ranges, so that both outcomes are common.
  t.year = data[17] & 1 ? year : year % 10'200 - 100;
  t.offset_seconds = data[17] & 2 ? offset : offset % (25 * 3600);
  t.month = data[4] % 13;
  t.day = data[5] % 32;
  t.hour = data[6] % 25;
  t.minute = data[7] % 61;
  t.second = data[8] % 61;
  if (!(data[17] & 4)) t.nanosecond %= 1'000'000'000;

  if (!fields_in_range(t)) {
    // Refusing a malformed date by InternalFailure is the documented
    // invariant; the year and offset checks may come first. Writing it is not.
    try {
      const auto written = format_rfc3339(t);
      if (written) fuzz::finding("writer writes a malformed date", *written);
    } catch (const corvane::InternalFailure&) {
    }
    return;
  }
  const auto written = format_rfc3339(t);
  if (!written) {
    fuzz::require(std::find(kWriteMessages.begin(), kWriteMessages.end(), written.error().message) != kWriteMessages.end(),
                  "undocumented writer message", written.error().message);
    const bool bad_year = t.year < 0 || t.year > 9999;
    const std::int64_t magnitude = t.offset_seconds < 0 ? -std::int64_t{t.offset_seconds} : t.offset_seconds;
    const std::string_view expected = bad_year ? kWriteMessages[0]
                                      : magnitude >= 24 * 3600 ? kWriteMessages[1]
                                                               : kWriteMessages[2];
    fuzz::require(written.error().message == expected, "writer reports the wrong check", written.error().message);
    fuzz::require(bad_year || magnitude >= 24 * 3600 || magnitude % 60 != 0, "writer refuses a writable value",
                  written.error().message);
    return;
  }
  const auto parsed = parse_rfc3339(*written);
  if (!parsed) fuzz::finding("written text of a valid value is refused", *written + ": " + parsed.error().message);
  fuzz::require(*parsed == t, "written text parses as another value", *written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    const std::string_view text = fuzz::as_text(data, size);
    const auto parsed = parse_rfc3339(text);
    if (parsed) {
      check_parsed(text, *parsed);
    } else {
      fuzz::require(std::find(kParseMessages.begin(), kParseMessages.end(), parsed.error().message) != kParseMessages.end(),
                    "undocumented parser message", parsed.error().message);
      // Refused as a second only when nothing else was wrong before it.
      if (parsed.error().message == "second was not in range" && has_second_60(text)) {
        fuzz::require(!is_leap_second_moment(text), "refused a UTC leap second", text);
      }
    }
    // A timestamp text starts with a digit; data that does not also feeds the
    // writer.
    if (size >= 19 && !(data[0] >= '0' && data[0] <= '9')) check_writer(data + 1);
  });
}
