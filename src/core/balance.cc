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
constexpr size_t kAmountStart = 10;

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

  Result<Decimal> amount = parse_amount(value.substr(kAmountStart));
  if (!amount) return std::move(amount).error();

  return Balance{std::move(currency), *amount, *date, is_intermediate, mark};
}

}  // namespace vardel
