// Calendar dates and the YYMMDD reader.
#include "core/date.hpp"

#include "core/text.hpp"

namespace vardel {
namespace {

constexpr bool is_leap_year(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int days_in_month(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// One two-byte pair of a YYMMDD date: two ASCII digits and nothing else.
std::optional<int> read_pair(char a, char b) {
  if (!is_ascii_digit(a) || !is_ascii_digit(b)) return std::nullopt;
  return (a - '0') * 10 + (b - '0');
}

void append_digits(std::string& out, int value, int width) {
  char buf[4];
  for (int i = width - 1; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(buf, static_cast<size_t>(width));
}

}  // namespace

std::optional<Date> Date::from_ymd(int year, int month, int day) {
  if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month)) {
    return std::nullopt;
  }
  return Date{static_cast<int16_t>(year), static_cast<uint8_t>(month),
              static_cast<uint8_t>(day)};
}

void Date::append_iso(std::string& out) const {
  append_digits(out, year, 4);
  out += '-';
  append_digits(out, month, 2);
  out += '-';
  append_digits(out, day, 2);
}

std::string Date::to_iso_string() const {
  std::string out;
  out.reserve(10);
  append_iso(out);
  return out;
}

Result<Date> parse_date(std::string_view text) {
  auto fail = [&] { return ParseError::invalid_date(text, kDateFieldTag); };
  if (text.size() != 6) return fail();
  std::optional<int> yy = read_pair(text[0], text[1]);
  std::optional<int> mm = read_pair(text[2], text[3]);
  std::optional<int> dd = read_pair(text[4], text[5]);
  if (!yy || !mm || !dd) return fail();
  int year = *yy >= 80 ? 1900 + *yy : 2000 + *yy;
  std::optional<Date> date = Date::from_ymd(year, *mm, *dd);
  if (!date) return fail();
  return *date;
}

}  // namespace vardel
