#include "encoding/rfc3339.hpp"

#include <utility>

#include "base/internal_failure.hpp"

namespace corvane::encoding {
namespace {

constexpr const char* literal_fault = "a character literal was not valid";
constexpr const char* trailing_fault = "unexpected trailing characters; the end of input was expected";

corvane::Failure<std::string> unparsable(std::string_view component) {
  return corvane::fail("the '" + std::string(component) + "' component could not be parsed");
}

corvane::Failure<std::string> out_of_range(std::string_view component) {
  return corvane::fail(std::string(component) + " was not in range");
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads `count` decimal digits at `pos` into `value`; false if any is missing.
bool read_digits(std::string_view text, std::size_t pos, std::size_t count, int& value) {
  if (text.size() < pos + count) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!is_digit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool has_literal(std::string_view text, std::size_t pos, char c) { return pos < text.size() && text[pos] == c; }

bool is_leap_year(std::int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int days_in_month(std::int32_t year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

// Whether second 60 at this local time and offset is 23:59:60 in UTC on the last
// day of a month. The offset is below a day, so the UTC date is at most one day
// away from the local one.
bool is_utc_leap_second(std::int32_t year, int month, int day, int hour, int minute, int offset_minutes) {
  constexpr int minutes_per_day = 24 * 60;
  const int utc_minute = hour * 60 + minute - offset_minutes;
  const int day_shift = utc_minute < 0 ? -1 : utc_minute / minutes_per_day;
  if (utc_minute - day_shift * minutes_per_day != minutes_per_day - 1) return false;
  const int last_day = days_in_month(year, month);
  if (day_shift < 0) return day == 1;             // the day before is the last of the previous month
  if (day_shift > 0) return day + 1 == last_day;  // the day after must still be in this month
  return day == last_day;
}

}  // namespace

corvane::Expected<Timestamp> parse_rfc3339(std::string_view text) {
  // Syntax and the offset ranges are checked left to right; the other ranges
  // only once the whole text has been read.
  int year, month, day, hour, minute, second;
  if (!read_digits(text, 0, 4, year)) return unparsable("year");
  if (!has_literal(text, 4, '-')) return corvane::fail(literal_fault);
  if (!read_digits(text, 5, 2, month) || month == 0) return unparsable("month");
  if (!has_literal(text, 7, '-')) return corvane::fail(literal_fault);
  if (!read_digits(text, 8, 2, day)) return unparsable("day");
  if (text.size() <= 10) return unparsable("separator");  // any byte will do as separator
  if (!read_digits(text, 11, 2, hour)) return unparsable("hour");
  if (!has_literal(text, 13, ':')) return corvane::fail(literal_fault);
  if (!read_digits(text, 14, 2, minute)) return unparsable("minute");
  if (!has_literal(text, 16, ':')) return corvane::fail(literal_fault);
  if (!read_digits(text, 17, 2, second)) return unparsable("second");

  std::size_t pos = 19;
  std::uint32_t nanosecond = 0;
  if (has_literal(text, pos, '.')) {
    ++pos;
    if (pos >= text.size() || !is_digit(text[pos])) return unparsable("subsecond");
    // Digits past the ninth are read and dropped, without rounding.
    std::uint32_t scale = 100'000'000;
    for (; pos < text.size() && is_digit(text[pos]); ++pos) {
      nanosecond += static_cast<std::uint32_t>(text[pos] - '0') * scale;
      scale /= 10;
    }
  }

  int offset_minutes = 0;
  if (pos >= text.size()) return unparsable("offset hour");
  const char sign = text[pos];
  if (sign == 'Z' || sign == 'z') {
    ++pos;
  } else if (sign == '+' || sign == '-') {
    int offset_hour, offset_minute;
    if (!read_digits(text, pos + 1, 2, offset_hour) || offset_hour >= 24) return unparsable("offset hour");
    if (!has_literal(text, pos + 3, ':')) return corvane::fail(literal_fault);
    if (!read_digits(text, pos + 4, 2, offset_minute)) return unparsable("offset minute");
    if (offset_minute >= 60) return out_of_range("offset minute");
    offset_minutes = offset_hour * 60 + offset_minute;
    if (sign == '-') offset_minutes = -offset_minutes;
    pos += 6;
  } else {
    return unparsable("offset hour");
  }
  if (pos != text.size()) return corvane::fail(trailing_fault);

  if (month > 12) return out_of_range("month");
  if (day == 0 || day > days_in_month(year, month)) return out_of_range("day");
  if (hour > 23) return out_of_range("hour");
  if (minute > 59) return out_of_range("minute");
  if (second > 60) return out_of_range("second");
  if (second == 60) {
    if (!is_utc_leap_second(year, month, day, hour, minute, offset_minutes)) return out_of_range("second");
    second = 59;
    nanosecond = 999'999'999;
  }

  return Timestamp{year,
                   static_cast<std::uint8_t>(month),
                   static_cast<std::uint8_t>(day),
                   static_cast<std::uint8_t>(hour),
                   static_cast<std::uint8_t>(minute),
                   static_cast<std::uint8_t>(second),
                   nanosecond,
                   offset_minutes * 60};
}

corvane::Expected<std::string_view> write_rfc3339(const Timestamp& value, Rfc3339Buffer& buffer) {
  if (value.year < 0 || value.year > 9999)
    return corvane::fail("The year component cannot be formatted into the requested format.");
  const std::int64_t offset = value.offset_seconds;
  const std::int64_t offset_abs = offset < 0 ? -offset : offset;
  if (offset_abs >= 24 * 3600)
    return corvane::fail("The offset_hour component cannot be formatted into the requested format.");
  if (offset_abs % 60 != 0)
    return corvane::fail("The offset_second component cannot be formatted into the requested format.");
  // The parser never builds such values; writing one would sign a malformed text.
  if (value.month < 1 || value.month > 12 || value.day < 1 || value.day > days_in_month(value.year, value.month) ||
      value.hour > 23 || value.minute > 59 || value.second > 59 || value.nanosecond > 999'999'999)
    throw corvane::InternalFailure("timestamp field out of range");

  std::size_t size = 0;
  const auto put = [&](char c) { buffer[size++] = c; };
  const auto put_digits = [&](std::uint32_t number, int count) {
    for (int i = count - 1; i >= 0; --i) {
      buffer[size + static_cast<std::size_t>(i)] = static_cast<char>('0' + number % 10);
      number /= 10;
    }
    size += static_cast<std::size_t>(count);
  };

  put_digits(static_cast<std::uint32_t>(value.year), 4);
  put('-');
  put_digits(value.month, 2);
  put('-');
  put_digits(value.day, 2);
  put('T');
  put_digits(value.hour, 2);
  put(':');
  put_digits(value.minute, 2);
  put(':');
  put_digits(value.second, 2);
  if (value.nanosecond != 0) {
    put('.');
    put_digits(value.nanosecond, 9);
    while (buffer[size - 1] == '0') --size;
  }
  if (offset == 0) {
    put('Z');
  } else {
    put(offset < 0 ? '-' : '+');
    put_digits(static_cast<std::uint32_t>(offset_abs / 3600), 2);
    put(':');
    put_digits(static_cast<std::uint32_t>(offset_abs / 60 % 60), 2);
  }
  return std::string_view(buffer.data(), size);
}

corvane::Expected<std::string> format_rfc3339(const Timestamp& value) {
  Rfc3339Buffer buffer;
  auto text = write_rfc3339(value, buffer);
  if (!text) return corvane::fail(std::move(text.error()));
  return std::string(*text);
}

}  // namespace corvane::encoding
