#include <climits>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/rfc3339.hpp"
#include "base/internal_failure.hpp"

using corvane::encoding::format_rfc3339;
using corvane::encoding::parse_rfc3339;
using corvane::encoding::Timestamp;

// Found by argument-dependent lookup when a check fails.
namespace corvane::encoding {
std::ostream& operator<<(std::ostream& out, const Timestamp& t) {
  return out << t.year << '-' << int(t.month) << '-' << int(t.day) << ' ' << int(t.hour) << ':' << int(t.minute)
             << ':' << int(t.second) << " ns=" << t.nanosecond << " offset=" << t.offset_seconds;
}
}  // namespace corvane::encoding

namespace {

std::string parse_error(std::string_view text) {
  auto parsed = parse_rfc3339(text);
  return parsed ? "(accepted)" : parsed.error().message;
}

std::string written(std::string_view text) {
  auto parsed = parse_rfc3339(text);
  if (!parsed) return "(rejected: " + parsed.error().message + ")";
  auto out = format_rfc3339(*parsed);
  return out ? *out : "(unwritable: " + out.error().message + ")";
}

std::string format_error(const Timestamp& t) {
  auto out = format_rfc3339(t);
  return out ? "(written)" : out.error().message;
}

// Fields as datetime.fromisoformat reads the same texts (microseconds x 1000).
void parses_like_python() {
  const struct {
    std::string_view text;
    Timestamp expected;
  } cases[] = {
      {"2025-06-30T23:59:59Z", {2025, 6, 30, 23, 59, 59, 0, 0}},
      {"2024-02-29T10:00:00.25+00:00", {2024, 2, 29, 10, 0, 0, 250000000, 0}},
      {"0001-01-01T00:00:00Z", {1, 1, 1, 0, 0, 0, 0, 0}},
      {"9999-12-31T23:59:59.999999Z", {9999, 12, 31, 23, 59, 59, 999999000, 0}},
      {"2025-01-01 12:34:56.000001-05:30", {2025, 1, 1, 12, 34, 56, 1000, -19800}},
      {"2030-01-02T03:04:05+23:59", {2030, 1, 2, 3, 4, 5, 0, 86340}},
      {"2030-01-02T03:04:05-23:59", {2030, 1, 2, 3, 4, 5, 0, -86340}},
      {"1999-12-31T23:00:00.5-00:01", {1999, 12, 31, 23, 0, 0, 500000000, -60}},
      {"2000-02-29T00:00:00.123456+14:00", {2000, 2, 29, 0, 0, 0, 123456000, 50400}},
      {"2025-01-01T00:00:00-00:00", {2025, 1, 1, 0, 0, 0, 0, 0}},
      {"1970-01-01T00:00:00.000100Z", {1970, 1, 1, 0, 0, 0, 100000, 0}},
      // Beyond what datetime reads: year 0, lower-case letters, nine and more digits.
      {"0000-02-29t00:00:00z", {0, 2, 29, 0, 0, 0, 0, 0}},
      {"2025-01-01T00:00:00.1234567891Z", {2025, 1, 1, 0, 0, 0, 123456789, 0}},
      {"2025-01-01T00:00:00.000000001Z", {2025, 1, 1, 0, 0, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    auto parsed = parse_rfc3339(c.text);
    CHECK(parsed.ok());
    if (parsed) CHECK_EQ(*parsed, c.expected);
  }
}

void writes_canonical_text() {
  const struct {
    std::string_view text, canonical;
  } cases[] = {
      {"2024-02-29t10:00:00.250000000z", "2024-02-29T10:00:00.25Z"},
      {"2024-02-29 10:00:00+00:00", "2024-02-29T10:00:00Z"},
      {"2024-02-29T10:00:00-05:30", "2024-02-29T10:00:00-05:30"},
      {"2016-12-31T23:59:60Z", "2016-12-31T23:59:59.999999999Z"},
      {"2016-12-31T23:59:60.5Z", "2016-12-31T23:59:59.999999999Z"},  // the leap second's fraction is dropped
      {"2025-01-01T00:00:00.1234567891Z", "2025-01-01T00:00:00.123456789Z"},
      {"2025-01-01T00:00:00.99999999999Z", "2025-01-01T00:00:00.999999999Z"},  // no rounding
      {"2025-01-01X00:00:00Z", "2025-01-01T00:00:00Z"},
      {"2030-01-01T00:00:00.500+00:00", "2030-01-01T00:00:00.5Z"},
      {"2025-01-01T00:00:00.00012Z", "2025-01-01T00:00:00.00012Z"},
      {"2025-01-01T00:00:00-00:30", "2025-01-01T00:00:00-00:30"},
      {"0000-01-01T00:00:00+00:00", "0000-01-01T00:00:00Z"},
      {"9999-12-31T23:59:59.123456789-23:59", "9999-12-31T23:59:59.123456789-23:59"},
  };
  for (const auto& c : cases) CHECK_EQ(written(c.text), c.canonical);
}

void reports_the_first_fault() {
  const std::string year = "the 'year' component could not be parsed";
  const std::string literal = "a character literal was not valid";
  const std::string month = "the 'month' component could not be parsed";
  const std::string day = "the 'day' component could not be parsed";
  const std::string separator = "the 'separator' component could not be parsed";
  const std::string hour = "the 'hour' component could not be parsed";
  const std::string minute = "the 'minute' component could not be parsed";
  const std::string second = "the 'second' component could not be parsed";
  const std::string subsecond = "the 'subsecond' component could not be parsed";
  const std::string offset_hour = "the 'offset hour' component could not be parsed";
  const std::string offset_minute = "the 'offset minute' component could not be parsed";
  const std::string offset_minute_range = "offset minute was not in range";
  const std::string trailing = "unexpected trailing characters; the end of input was expected";
  const std::string month_range = "month was not in range";
  const std::string day_range = "day was not in range";
  const std::string hour_range = "hour was not in range";
  const std::string minute_range = "minute was not in range";
  const std::string second_range = "second was not in range";

  const struct {
    std::string_view text;
    const std::string& message;
  } cases[] = {
      // Each position in turn: the text ends there, or holds a wrong byte.
      {"", year},
      {"202", year},
      {"2a25-01-01T00:00:00Z", year},
      {" 2025-01-01T00:00:00Z", year},
      {"2025", literal},
      {"2025/01-01T00:00:00Z", literal},
      {"2025-", month},
      {"2025-0", month},
      {"2025-0x-01T00:00:00Z", month},
      {"2025-00-01T00:00:00Z", month},
      {"2025-00-01T00:00:00Zx", month},  // month "00" is a syntax fault, found before the trailing byte
      {"2025-01", literal},
      {"2025-01/01T00:00:00Z", literal},
      {"2025-01-", day},
      {"2025-01-0", day},
      {"2025-01-x1T00:00:00Z", day},
      {"2025-01-01", separator},
      {"2025-01-01T", hour},
      {"2025-01-01T0", hour},
      {"2025-01-01T0x:00:00Z", hour},
      {"2025-01-01\xC3\xA9" "00:00:00Z", hour},  // a two-byte separator leaves its second byte as the hour
      {"2025-01-01T00", literal},
      {"2025-01-01T00.00:00Z", literal},
      {"2025-01-01T00:", minute},
      {"2025-01-01T00:0", minute},
      {"2025-01-01T00:00", literal},
      {"2025-01-01T00:00-00Z", literal},
      {"2025-01-01T00:00:", second},
      {"2025-01-01T00:00:0", second},
      {"2025-01-01T00:00:00.", subsecond},
      {"2025-01-01T00:00:00.Z", subsecond},
      {"2025-01-01T00:00:00", offset_hour},
      {"2025-01-01T00:00:00.5", offset_hour},
      {"2025-01-01T00:00:00x", offset_hour},
      {"2025-01-01T00:00:00.5.5Z", offset_hour},
      {"2025-01-01T00:00:00+", offset_hour},
      {"2025-01-01T00:00:00+0", offset_hour},
      {"2025-01-01T00:00:00+0x:00", offset_hour},
      {"2025-01-01T00:00:00+24:00", offset_hour},
      {"2025-01-01T00:00:00+01", literal},
      {"2025-01-01T00:00:00+0100", literal},
      {"2025-01-01T00:00:00+01:", offset_minute},
      {"2025-01-01T00:00:00+01:0", offset_minute},
      {"2025-01-01T00:00:00+01:x0", offset_minute},
      {"2025-01-01T00:00:00+23:60", offset_minute_range},
      {"2025-13-01T00:00:00-00:99x", offset_minute_range},  // offset ranges are checked while reading
      {"2025-01-01T00:00:00Z ", trailing},
      {"2025-01-01T00:00:00+01:00:00", trailing},
      {"2025-13-01T00:00:00Zx", trailing},  // trailing bytes outrank the month range
      // Ranges, in the order month, day, hour, minute, second.
      {"2025-13-32T24:60:61Z", month_range},
      {"2025-01-32T24:60:61Z", day_range},
      {"2025-01-00T00:00:00Z", day_range},
      {"2025-02-29T00:00:00Z", day_range},
      {"2025-04-31T00:00:00Z", day_range},
      {"2025-01-01T24:60:61Z", hour_range},
      {"2025-01-01T23:60:61Z", minute_range},
      {"2025-01-01T23:59:61Z", second_range},
      {"2025-06-29T23:59:60Z", second_range},
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.message);
}

// Last day of each month as Python's calendar gives it; year 0 is a leap year
// in the proleptic Gregorian calendar.
void knows_month_lengths() {
  const struct {
    int year;
    int last_day[12];
  } years[] = {
      {0, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {1900, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2000, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2023, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2024, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2100, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2400, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
  };
  char text[32];
  for (const auto& y : years) {
    for (int m = 1; m <= 12; ++m) {
      const int last = y.last_day[m - 1];
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00:00Z", y.year, m, last);
      CHECK_EQ(parse_error(text), "(accepted)");
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00:00Z", y.year, m, last + 1);
      CHECK_EQ(parse_error(text), "day was not in range");
    }
  }
}

// Whether local HH:MM:59.999999999 shifted by the offset is 23:59:59.999999999
// UTC on a month's last day, as Python's datetime arithmetic decides it.
void accepts_leap_seconds_only_at_the_end_of_a_utc_month() {
  const struct {
    std::string_view text;
    bool accepted;
  } cases[] = {
      {"2025-06-30T23:59:60+00:00", true},  {"2025-06-29T23:59:60+00:00", false},
      {"2025-07-01T01:59:60+02:00", true},  {"2025-06-30T01:59:60+02:00", false},
      {"2025-06-30T18:29:60-05:30", true},  {"2025-06-29T18:29:60-05:30", false},
      {"2024-02-29T23:59:60+00:00", true},  {"2023-02-28T23:59:60+00:00", true},
      {"2024-02-28T23:59:60+00:00", false}, {"2025-01-01T00:00:60+00:01", true},
      {"2025-12-31T23:58:60-00:01", true},  {"2025-12-31T23:59:60+00:01", false},
      {"2025-03-01T23:58:60+23:59", true},  {"2025-02-28T00:00:60-23:59", true},
      {"2025-04-30T00:00:60-23:59", true},  {"2025-04-29T00:00:60-23:59", false},
      {"2025-12-31T12:00:60-11:59", true},
      // At the ends of the year range the UTC moment may lie outside it.
      {"0000-01-01T00:59:60+01:00", true},  {"9999-12-31T23:59:60Z", true},
      {"9999-12-31T23:59:60-00:01", false},
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.accepted ? "(accepted)" : "second was not in range");

  auto moved = parse_rfc3339("2025-07-01T01:59:60+02:00");
  CHECK(moved.ok());
  if (moved) CHECK_EQ(*moved, (Timestamp{2025, 7, 1, 1, 59, 59, 999999999, 7200}));  // local time, offset kept
}

void writer_refuses_unwritable_values() {
  const std::string year = "The year component cannot be formatted into the requested format.";
  const std::string offset_hour = "The offset_hour component cannot be formatted into the requested format.";
  const std::string offset_second = "The offset_second component cannot be formatted into the requested format.";
  const struct {
    std::int32_t year, offset_seconds;
    const std::string& message;
  } cases[] = {
      {-1, 0, year},
      {10000, 0, year},
      {10000, 86400, year},  // the year is checked first
      {2025, 86400, offset_hour},
      {2025, -86400, offset_hour},
      {2025, 86401, offset_hour},  // a whole day and a second: the hours decide
      {2025, INT_MIN, offset_hour},
      {2025, 30, offset_second},
      {2025, -90, offset_second},
      {2025, 86399, offset_second},
  };
  for (const auto& c : cases) CHECK_EQ(format_error(Timestamp{c.year, 1, 1, 0, 0, 0, 0, c.offset_seconds}), c.message);
}

void writer_edges() {
  const struct {
    Timestamp value;
    std::string_view text;
  } cases[] = {
      {{0, 1, 1, 0, 0, 0, 0, 0}, "0000-01-01T00:00:00Z"},
      {{7, 1, 1, 0, 0, 0, 1, -60}, "0007-01-01T00:00:00.000000001-00:01"},
      {{9999, 12, 31, 23, 59, 59, 999999999, 86340}, "9999-12-31T23:59:59.999999999+23:59"},
      {{2025, 3, 4, 5, 6, 7, 120000, -1800}, "2025-03-04T05:06:07.00012-00:30"},
  };
  for (const auto& c : cases) {
    auto out = format_rfc3339(c.value);
    CHECK_EQ(out ? *out : out.error().message, c.text);
  }
}

// Fields out of range never come from the parser; writing them would produce a
// malformed text, so they are treated as a broken invariant.
void writer_rejects_impossible_fields() {
  const Timestamp cases[] = {
      {2025, 13, 1, 0, 0, 0, 0, 0},
      {2025, 2, 29, 0, 0, 0, 0, 0},
      {2025, 1, 1, 0, 0, 60, 0, 0},
      {2025, 1, 1, 0, 0, 0, 1000000000, 0},
  };
  for (const auto& t : cases) {
    bool thrown = false;
    try {
      (void)format_rfc3339(t);
    } catch (const corvane::InternalFailure&) {
      thrown = true;
    }
    CHECK(thrown);
  }
}

}  // namespace

int main() {
  parses_like_python();
  writes_canonical_text();
  reports_the_first_fault();
  knows_month_lengths();
  accepts_leap_seconds_only_at_the_end_of_a_utc_month();
  writer_refuses_unwritable_values();
  writer_edges();
  writer_rejects_impossible_fields();
  return check::failures() != 0;
}
