// Date: a calendar date without time of day, and parse_date, the reader of
// MT940's six-character YYMMDD dates.
//
//   vardel::Result<vardel::Date> d = vardel::parse_date("240229");
//   d->to_iso_string();   // "2024-02-29"
#ifndef VARDEL_DATE_H_
#define VARDEL_DATE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/parse_error.hpp"

namespace vardel {

struct Date {
  int16_t year = 2000;  // proleptic Gregorian; 1979..2080 from the parser
  uint8_t month = 1;    // 1..12
  uint8_t day = 1;      // 1..length of the month

  // The date, or nullopt when year/month/day name no calendar day.
  [[nodiscard]] static std::optional<Date> from_ymd(int year, int month, int day);

  // "%Y-%m-%d": four-digit year (the parser's years always have four digits).
  [[nodiscard]] std::string to_iso_string() const;
  void append_iso(std::string& out) const;

  friend bool operator==(const Date&, const Date&) = default;
};

// Reads YYMMDD: exactly six ASCII digits (no sign, no blank); YY >= 80 is
// 19YY, else 20YY.
// Error: InvalidDate quoting the whole text, tag "(date field)".
[[nodiscard]] Result<Date> parse_date(std::string_view text);

}  // namespace vardel

#endif  // VARDEL_DATE_H_
