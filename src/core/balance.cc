// The balance-field reader: mark, YYMMDD date, currency and amount at fixed
// byte positions.
#include "core/balance.hpp"

#include <cstddef>
#include <string>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/text.hpp"

namespace vardel {
namespace {

// Byte positions of a balance value: mark at 0, date 1..6, currency 7..9,
// amount from 10 to the end.
constexpr size_t kDateStart = 1;
constexpr size_t kDateLength = 6;
constexpr size_t kCurrencyStart = 7;
constexpr size_t kCurrencyLength = 3;
constexpr size_t kAmountStart = kBalanceAmountStart;

// A balance amount is plain: ASCII digits with at most one decimal mark, ','
// or '.', and at least one digit ("1234,56", "1234", ",5", "5,", "1234.5").
// A sign, a second mark, a blank, an exponent or an underscore is no part of
// it: parse_amount would read "1.000,00" as 1.0, "-5,00" as -5 whatever the
// mark, "1,5e3" as 1500. The amount must also fit the Decimal exactly, so a
// fraction too long for it is refused instead of rounded.
Result<Decimal> parse_balance_amount(std::string_view text) {
  auto fail = [&] { return ParseError::invalid_amount(text, kAmountFieldTag); };
  size_t mark = std::string_view::npos;
  bool has_digit = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (is_ascii_digit(text[i])) {
      has_digit = true;
    } else if ((text[i] == ',' || text[i] == '.') && mark == std::string_view::npos) {
      mark = i;
    } else {
      return fail();
    }
  }
  if (!has_digit) return fail();

  Result<Decimal> amount = parse_amount(text);
  if (!amount) return amount;
  // parse_amount keeps at most as many fraction digits as the Decimal holds
  // and rounds on the first one it drops; the value is exact only when every
  // fraction digit past those it kept is a zero.
  if (mark != std::string_view::npos) {
    const std::string_view fraction = text.substr(mark + 1);
    if (fraction.find_first_not_of('0', amount->scale) != std::string_view::npos) return fail();
  }
  return amount;
}

}  // namespace

Result<Balance> parse_balance(std::string_view value, bool is_intermediate) {
  if (value.size() <= kAmountStart) {
    return ParseError::invalid_format(kBalanceTag, value, kReasonTooShort);
  }

  DebitCreditMark mark;
  if (value[0] == 'C') {
    mark = DebitCreditMark::Credit;
  } else if (value[0] == 'D') {
    mark = DebitCreditMark::Debit;
  } else {
    return ParseError::invalid_format(kBalanceTag, value, kReasonBadMark);
  }

  // A cut inside a multi-byte character would put half a character into the
  // currency or into an error message; such a value has no valid layout.
  if (!is_char_boundary(value, kDateStart) || !is_char_boundary(value, kCurrencyStart) ||
      !is_char_boundary(value, kAmountStart)) {
    return ParseError::invalid_format(kBalanceTag, value, kReasonNoMatch);
  }

  Result<Date> date = parse_date(value.substr(kDateStart, kDateLength));
  if (!date) return std::move(date).error();

  std::string currency(value.substr(kCurrencyStart, kCurrencyLength));

  Result<Decimal> amount = parse_balance_amount(value.substr(kAmountStart));
  if (!amount) return std::move(amount).error();

  return Balance{std::move(currency), *amount, *date, is_intermediate, mark};
}

}  // namespace vardel
