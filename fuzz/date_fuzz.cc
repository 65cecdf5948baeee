// libFuzzer target for the date and balance readers: parse_date on the whole
// input and parse_balance with the flag taken from the first byte.
//
// Invariants checked beyond "no crash, no sanitizer report":
//  - parse_date agrees with a slow obvious reference of the YYMMDD rules, and
//    a failure is InvalidDate quoting the text;
//  - parse_balance agrees with a reference built from parse_date and a slow
//    reading of the plain amount (digits, at most one ',' or '.', a value the
//    Decimal holds exactly) for ASCII input (its cut positions then never
//    split a character), keeps is_intermediate, never stores a negative
//    amount, and reports only its documented errors;
//  - for valid UTF-8 input the currency and every error message are valid
//    UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/balance.hpp"
#include "core/date.hpp"
#include "core/text.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::Date;
using vardel::ParseErrorKind;

using vardel::is_ascii_digit;

// One pair of a YYMMDD text: two ASCII digits.
std::optional<int> read_pair(char a, char b) {
  if (is_ascii_digit(a) && is_ascii_digit(b)) return (a - '0') * 10 + (b - '0');
  return std::nullopt;
}

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::optional<Date> reference_date(std::string_view t) {
  if (t.size() != 6) return std::nullopt;
  const auto yy = read_pair(t[0], t[1]);
  const auto mm = read_pair(t[2], t[3]);
  const auto dd = read_pair(t[4], t[5]);
  if (!yy || !mm || !dd) return std::nullopt;
  const int year = *yy >= 80 ? 1900 + *yy : 2000 + *yy;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*mm < 1 || *mm > 12 || *dd < 1) return std::nullopt;
  const int days = kDays[*mm - 1] + (*mm == 2 && is_leap(year) ? 1 : 0);
  if (*dd > days) return std::nullopt;
  return Date{static_cast<int16_t>(year), static_cast<uint8_t>(*mm), static_cast<uint8_t>(*dd)};
}

void check_date(std::string_view text) {
  const vardel::Result<Date> got = vardel::parse_date(text);
  const std::optional<Date> want = reference_date(text);
  FUZZ_CHECK(got.has_value() == want.has_value());
  if (got) {
    FUZZ_CHECK(*got == *want);
    FUZZ_CHECK(got->year >= 1980 && got->year <= 2079);
    const std::string iso = got->to_iso_string();
    FUZZ_CHECK(iso.size() == 10 && iso[4] == '-' && iso[7] == '-');
    FUZZ_CHECK(Date::from_ymd(got->year, got->month, got->day).has_value());
  } else {
    FUZZ_CHECK(got.error().kind == ParseErrorKind::InvalidDate);
    FUZZ_CHECK(got.error().value == text);
    FUZZ_CHECK(got.error().tag == vardel::kDateFieldTag);
  }
}

// The value of a plain balance amount as its significant digits and the
// number of those after the point ("0012,500" gives "12" "5" as {"125", 1}),
// or nullopt when the text is not digits with at most one ',' or '.' and at
// least one digit.
struct PlainValue {
  std::string digits;  // no leading zeros; empty for zero
  size_t scale = 0;
};

std::optional<PlainValue> reference_plain_value(std::string_view t) {
  std::string integer, fraction;
  int marks = 0;
  for (char c : t) {
    if (c == ',' || c == '.') {
      if (++marks > 1) return std::nullopt;
    } else if (is_ascii_digit(c)) {
      (marks == 0 ? integer : fraction) += c;
    } else {
      return std::nullopt;
    }
  }
  if (integer.empty() && fraction.empty()) return std::nullopt;
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  PlainValue v{integer + fraction, fraction.size()};
  v.digits.erase(0, std::min(v.digits.find_first_not_of('0'), v.digits.size()));
  return v;
}

// Whether a Decimal (magnitude below 2^96, scale up to 28) holds v exactly.
bool fits_decimal(const PlainValue& v) {
  static constexpr std::string_view kTwoTo96 = "79228162514264337593543950336";
  if (v.scale > vardel::Decimal::kMaxScale) return false;
  if (v.digits.size() != kTwoTo96.size()) return v.digits.size() < kTwoTo96.size();
  return v.digits < kTwoTo96;
}

void check_balance(std::string_view value, bool is_intermediate) {
  const vardel::Result<vardel::Balance> got = vardel::parse_balance(value, is_intermediate);
  const bool utf8_input = vardel::fuzz::is_valid_utf8(value);
  if (got) {
    FUZZ_CHECK(got->is_intermediate == is_intermediate);
    FUZZ_CHECK(got->debit_credit == vardel::DebitCreditMark::Credit ||
               got->debit_credit == vardel::DebitCreditMark::Debit);
    FUZZ_CHECK(value.size() > 10);
    FUZZ_CHECK(!got->amount.negative);
    if (utf8_input) vardel::fuzz::check_utf8(got->currency);
  } else {
    const vardel::ParseError& e = got.error();
    FUZZ_CHECK(e.kind == ParseErrorKind::InvalidFormat || e.kind == ParseErrorKind::InvalidDate ||
               e.kind == ParseErrorKind::InvalidAmount);
    if (utf8_input) vardel::fuzz::check_utf8(e.message());
  }
  if (!vardel::fuzz::is_ascii(value)) return;

  // Reference for ASCII values, first failing check wins.
  if (value.size() <= 10) {
    FUZZ_CHECK(!got && got.error() == vardel::ParseError::invalid_format(
                                          vardel::kBalanceTag, value, vardel::kReasonTooShort));
    return;
  }
  if (value[0] != 'C' && value[0] != 'D') {
    FUZZ_CHECK(!got && got.error() == vardel::ParseError::invalid_format(
                                          vardel::kBalanceTag, value, vardel::kReasonBadMark));
    return;
  }
  const vardel::Result<Date> date = vardel::parse_date(value.substr(1, 6));
  if (!date) {
    FUZZ_CHECK(!got && got.error() == date.error());
    return;
  }
  const std::string_view amount_text = value.substr(10);
  const std::optional<PlainValue> amount = reference_plain_value(amount_text);
  if (!amount || !fits_decimal(*amount)) {
    FUZZ_CHECK(!got && got.error() == vardel::ParseError::invalid_amount(
                                          amount_text, vardel::kAmountFieldTag));
    return;
  }
  FUZZ_CHECK(got.has_value());
  FUZZ_CHECK(got->date == *date);
  // The stored amount has the same value: the same significant digits.
  const std::optional<PlainValue> stored = reference_plain_value(got->amount.to_string());
  FUZZ_CHECK(stored && stored->digits == amount->digits && stored->scale == amount->scale);
  FUZZ_CHECK(got->currency == value.substr(7, 3));
  FUZZ_CHECK(got->debit_credit == (value[0] == 'C' ? vardel::DebitCreditMark::Credit
                                                   : vardel::DebitCreditMark::Debit));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_date(text);
  if (size == 0) return 0;
  check_balance(text.substr(1), (data[0] & 1) != 0);
  return 0;
}
