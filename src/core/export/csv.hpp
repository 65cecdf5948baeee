// CSV export: byte-order mark, fixed header, one row per transaction of every statement.
//
//   std::string text = vardel::export_csv(statements);
//   // "\xEF\xBB\xBFStatement,Account,...,IsReversal\n5,DE00...,EUR,...,-99.50,N\n"
//
// Lines end with a lone line feed; a cell holding ',', '"', a line feed or a
// carriage return is quoted with inner quotes doubled.
#ifndef VARDEL_EXPORT_CSV_H_
#define VARDEL_EXPORT_CSV_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace vardel {

// The header line, line feed included, that follows the byte-order mark.
inline constexpr std::string_view kCsvHeader =
    "Statement,Account,Currency,Date,EntryDate,Type,Reference,BankRef,Counterparty,"
    "CounterIBAN,Purpose,Amount,IsReversal\n";

// The whole text for every statement of `statements`, in list order.
// Cannot fail; keeps no state.
[[nodiscard]] std::string export_csv(const std::vector<Statement>& statements);

// The cell as written: between double quotes with every '"' doubled when it
// holds ',', '"', '\n' or '\r'; otherwise unchanged (the empty cell stays
// empty).
[[nodiscard]] std::string quote_csv_field(std::string_view cell);
// Appends quote_csv_field(cell) to `out` without a temporary.
void append_csv_field(std::string& out, std::string_view cell);

}  // namespace vardel

#endif  // VARDEL_EXPORT_CSV_H_
