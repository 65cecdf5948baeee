// The plain records in which the statement parser hands over its result:
// Statement, Balance, TransactionRecord and the mark DebitCreditMark.
//
// Every record owns its texts, lists and maps; none shares storage with the
// input text or with another record, and none changes after parsing.
#ifndef VARDEL_RECORDS_H_
#define VARDEL_RECORDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/structured_details.hpp"

namespace vardel {

// The debit/credit mark of a balance (D, C) or a statement line (all four).
enum class DebitCreditMark : uint8_t {
  Debit = 0,             // "D"
  Credit = 1,            // "C"
  ReversalOfDebit = 2,   // "RD": counts as a credit
  ReversalOfCredit = 3,  // "RC": counts as a debit
};

// "D", "C", "RD" or "RC".
[[nodiscard]] constexpr std::string_view code(DebitCreditMark m) {
  switch (m) {
    case DebitCreditMark::Debit: return "D";
    case DebitCreditMark::Credit: return "C";
    case DebitCreditMark::ReversalOfDebit: return "RD";
    case DebitCreditMark::ReversalOfCredit: return "RC";
  }
  return "D";  // unreachable: every enumerator is handled above
}
// True for D and RC. Exactly one of is_debit and is_credit holds.
[[nodiscard]] constexpr bool is_debit(DebitCreditMark m) {
  return m == DebitCreditMark::Debit || m == DebitCreditMark::ReversalOfCredit;
}
// True for C and RD.
[[nodiscard]] constexpr bool is_credit(DebitCreditMark m) { return !is_debit(m); }
// True for RD and RC.
[[nodiscard]] constexpr bool is_reversal(DebitCreditMark m) {
  return m == DebitCreditMark::ReversalOfDebit || m == DebitCreditMark::ReversalOfCredit;
}

// One balance field: :60F:, :60M:, :62F:, :62M:, :64:, :65:.
struct Balance {
  std::string currency;  // the three bytes after the date, unchecked
  Decimal amount;        // the written value, never negative; the direction is the mark's
  Date date;             // the YYMMDD part
  bool is_intermediate = false;                        // :60M: or :62M:
  DebitCreditMark debit_credit = DebitCreditMark::Credit;  // D or C only

  // `amount` under C, its negation under D (an overdrawn account); a zero
  // debit balance gives a negative zero, as a zero debit line does.
  [[nodiscard]] Decimal signed_amount() const {
    return is_credit(debit_credit) ? amount : amount.negate();
  }

  friend bool operator==(const Balance&, const Balance&) = default;
};

// One :61: statement line with the :86: narrative attached to it.
struct TransactionRecord {
  Date value_date;                        // the first six digits
  std::optional<Date> entry_date;         // MMDD part; absent when missing or no calendar day
  DebitCreditMark debit_credit = DebitCreditMark::Credit;
  std::optional<std::string> funds_code;  // the one capital letter after the mark
  Decimal amount;                         // never negative, scale 2, below 10^15
  std::string transaction_type;           // N or F and three letters or digits
  std::string customer_reference;         // trimmed, may be empty
  std::optional<std::string> bank_reference;  // after "//", untrimmed, may be empty
  std::optional<std::string> extra_details;   // lines after the first, trimmed; never empty
  std::string details;                    // raw :86: text; empty when none is attached
  std::optional<StructuredDetails> structured_details;  // present iff a :86: is attached

  // `amount` for credits (C, RD), its negation for debits (D, RC); a zero
  // debit gives a negative zero.
  [[nodiscard]] Decimal signed_amount() const {
    return is_credit(debit_credit) ? amount : amount.negate();
  }

  friend bool operator==(const TransactionRecord&, const TransactionRecord&) = default;
};

// One statement: the fields from an opening :20: to the next one.
// In a parse result, account_identification and statement_number are not
// empty and both balances were read from the text.
struct Statement {
  std::string transaction_reference;            // :20:, may be empty
  std::optional<std::string> related_reference;  // :21:
  std::string account_identification;           // :25:
  std::string statement_number;                 // :28C: before the first '/'
  std::optional<std::string> sequence_number;   // :28C: after the first '/', may be empty
  Balance opening_balance;                      // :60F: or :60M:
  Balance closing_balance;                      // :62F: or :62M:
  std::optional<Balance> closing_available_balance;  // :64:
  std::optional<Balance> forward_available_balance;  // :65:
  std::vector<TransactionRecord> transactions;  // in text order
  std::optional<std::string> information_to_account_owner;  // :86: after the closing balance

  friend bool operator==(const Statement&, const Statement&) = default;
};

}  // namespace vardel

#endif  // VARDEL_RECORDS_H_
