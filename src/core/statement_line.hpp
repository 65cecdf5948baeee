// parse_statement_line: the reader of a :61: field's value.
//
// Its first line is the statement line, read with the one pattern of the
// system (kept as text in kStatementLinePattern):
//   ^(\d{6})(\d{4})?(RD|RC|D|C)([A-Z])?(\d{1,15},\d{0,2})([NF][A-Za-z0-9]{3})([^/]*?)(?://([^\r\n]*))?$
// where \d is any Unicode decimal digit (category Nd). The match is done by a
// hand-written left-to-right scan that yields exactly the pattern's groups.
// The lines after the first become extra_details.
//
//   vardel::parse_statement_line("2301010102D1234,56NTRFREF1//B1")
//       // 2023-01-01, entry 2023-01-02, Debit, 1234.56, "NTRF", "REF1", "B1"
#ifndef VARDEL_STATEMENT_LINE_H_
#define VARDEL_STATEMENT_LINE_H_

#include <optional>
#include <string_view>

#include "core/parse_error.hpp"
#include "core/records.hpp"

namespace vardel {

inline constexpr std::string_view kStatementLinePattern =
    R"(^(\d{6})(\d{4})?(RD|RC|D|C)([A-Z])?(\d{1,15},\d{0,2})([NF][A-Za-z0-9]{3})([^/]*?)(?://([^\r\n]*))?$)";

// The eight groups of a match; absent groups are nullopt. Views into the line.
struct StatementLineMatch {
  std::string_view value_date;                   // group 1
  std::optional<std::string_view> entry_date;    // group 2
  std::string_view mark;                         // group 3
  std::optional<std::string_view> funds_code;    // group 4
  std::string_view amount;                       // group 5
  std::string_view transaction_type;             // group 6
  std::string_view customer_reference;           // group 7, untrimmed
  std::optional<std::string_view> bank_reference;  // group 8

  friend bool operator==(const StatementLineMatch&, const StatementLineMatch&) = default;
};

// Matches one statement line (no line feed splitting). nullopt: no match.
[[nodiscard]] std::optional<StatementLineMatch> match_statement_line(std::string_view line);

// Errors in this order: InvalidFormat ":61:" quoting the statement line with
// "does not match expected format", the value date's InvalidDate, the
// amount's InvalidAmount. The record's details are empty and
// structured_details absent.
[[nodiscard]] Result<TransactionRecord> parse_statement_line(std::string_view value);

}  // namespace vardel

#endif  // VARDEL_STATEMENT_LINE_H_
