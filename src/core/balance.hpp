// parse_balance: the reader of balance fields (:60F:, :60M:, :62F:, :62M:,
// :64:, :65:), cut at fixed byte positions: mark, YYMMDD, currency, amount.
//
//   vardel::parse_balance("C240101EUR1234,56", false)
//       // Credit, 2024-01-01, "EUR", 1234.56
#ifndef VARDEL_BALANCE_H_
#define VARDEL_BALANCE_H_

#include <cstddef>
#include <string_view>

#include "core/parse_error.hpp"
#include "core/records.hpp"

namespace vardel {

// Byte position at which a balance value's amount starts: after the mark (1
// byte), the date (6) and the currency (3).
inline constexpr size_t kBalanceAmountStart = 10;

// Errors, first failing check wins: InvalidFormat "balance" "too short"
// (10 bytes or fewer), InvalidFormat "balance" "invalid D/C mark", the
// InvalidDate of bytes 1-6 (six ASCII digits), the InvalidAmount of bytes 10
// to the end (ASCII digits with at most one ',' or '.', exactly held: no
// sign, so the amount is never negative and the direction is the mark's
// alone). is_intermediate is stored unchanged.
[[nodiscard]] Result<Balance> parse_balance(std::string_view value, bool is_intermediate);

}  // namespace vardel

#endif  // VARDEL_BALANCE_H_
