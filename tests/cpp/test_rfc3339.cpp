// RFC 3339 timestamps: the canonical text, the first fault's message, leap
// seconds, and what the writer refuses. (Fields and month lengths against
// datetime: the evidence property tests.)
#include <climits>
#include <string>
#include <string_view>

#include "base/internal_failure.hpp"
#include "check.hpp"
#include "encoding/rfc3339.hpp"

using corvane::encoding::format_rfc3339;
using corvane::encoding::parse_rfc3339;
using corvane::encoding::Timestamp;

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

void writes_canonical_text() {
  const struct {
    std::string_view text, canonical;
  } cases[] = {
      {"2024-02-29t10:00:00.250000000z", "2024-02-29T10:00:00.25Z"},
      {"2024-02-29 10:00:00-00:00", "2024-02-29T10:00:00Z"},
      {"2016-12-31T23:59:60.5Z", "2016-12-31T23:59:59.999999999Z"},  // the leap second's fraction is dropped
      {"2025-01-01X00:00:00.99999999999Z", "2025-01-01T00:00:00.999999999Z"},  // no rounding
      {"2025-01-01T00:00:00.00012-00:30", "2025-01-01T00:00:00.00012-00:30"},
      {"9999-12-31T23:59:59.123456789-23:59", "9999-12-31T23:59:59.123456789-23:59"},
  };
  for (const auto& c : cases) CHECK_EQ(written(c.text), c.canonical);
}

void reports_the_first_fault() {
  const std::string literal = "a character literal was not valid";
  const auto component = [](const char* name) { return "the '" + std::string(name) + "' component could not be parsed"; };
  const auto range = [](const char* name) { return std::string(name) + " was not in range"; };
  const struct {
    std::string_view text;
    std::string message;
  } cases[] = {
      // The goldens hold each message once; here, which fault is found first.
      {" 2025-01-01T00:00:00Z", component("year")}, {"2025-0", component("month")},
      {"2025-00-01T00:00:00Zx", component("month")},  // month "00" is a syntax fault, found before the trailing byte
      {"2025-01-01\xC3\xA9" "00:00:00Z", component("hour")},  // a two-byte separator leaves a byte as the hour
      {"2025-01-01T00:00:00.5.5Z", component("offset hour")}, {"2025-01-01T00:00:00+0100", literal},
      {"2025-01-01T00:00:00+24:00", component("offset hour")},
      {"2025-13-01T00:00:00-00:99x", range("offset minute")},  // offset ranges are checked while reading
      {"2025-13-01T00:00:00Zx", "unexpected trailing characters; the end of input was expected"},
      // Ranges, in the order month, day, hour, minute, second.
      {"2025-13-32T24:60:61Z", range("month")}, {"2025-01-32T24:60:61Z", range("day")},
      {"1900-02-29T00:00:00Z", range("day")}, {"2025-04-31T00:00:00Z", range("day")},
      {"2025-01-01T24:60:61Z", range("hour")}, {"2025-01-01T23:60:61Z", range("minute")},
      {"2025-01-01T23:59:61Z", range("second")},
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.message);
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
      {"2025-12-31T23:58:60-00:01", true},  {"2025-12-31T23:59:60+00:01", false},
      // At the ends of the year range the UTC moment may lie outside it.
      {"0000-01-01T00:59:60+01:00", true},  {"9999-12-31T23:59:60-00:01", false},
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.accepted ? "(accepted)" : "second was not in range");
  auto moved = parse_rfc3339("2025-07-01T01:59:60+02:00");
  CHECK(moved.ok() && *moved == (Timestamp{2025, 7, 1, 1, 59, 59, 999999999, 7200}));  // local time, offset kept
}

void writer_refuses_unwritable_values() {
  const auto cannot = [](const char* name) {
    return "The " + std::string(name) + " component cannot be formatted into the requested format.";
  };
  const struct {
    std::int32_t year, offset_seconds;
    std::string message;
  } cases[] = {
      {-1, 0, cannot("year")}, {10000, 86400, cannot("year")},  // the year is checked first
      {2025, -86400, cannot("offset_hour")}, {2025, 86401, cannot("offset_hour")},  // whole hours decide
      {2025, INT_MIN, cannot("offset_hour")}, {2025, -90, cannot("offset_second")}, {2025, 86399, cannot("offset_second")},
  };
  for (const auto& c : cases) {
    auto out = format_rfc3339(Timestamp{c.year, 1, 1, 0, 0, 0, 0, c.offset_seconds});
    CHECK_EQ(out ? "(written)" : out.error().message, c.message);
  }
  // Fields out of range never come from the parser: writing them is a broken invariant.
  for (const Timestamp t : {Timestamp{2025, 13, 1, 0, 0, 0, 0, 0}, Timestamp{2025, 2, 29, 0, 0, 0, 0, 0},
                            Timestamp{2025, 1, 1, 0, 0, 60, 0, 0}, Timestamp{2025, 1, 1, 0, 0, 0, 1000000000, 0}}) {
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
  writes_canonical_text();
  reports_the_first_fault();
  accepts_leap_seconds_only_at_the_end_of_a_utc_month();
  writer_refuses_unwritable_values();
  return check::failures() != 0;
}
