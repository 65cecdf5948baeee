// JSON export: a pretty-printed array, one object per statement, with the transactions.
//
//   std::string text = vardel::export_json(statements);
//   // "[\n  {\n    \"transactionReference\": \"STMT1\", ..."
//
// Layout: two spaces per nesting level, ": " after every key, "," and a line
// feed between elements, "[]" / "{}" for empty containers, no line feed after
// the final "]". Keys of "structuredDetails" come in ascending byte order.
#ifndef VARDEL_EXPORT_JSON_H_
#define VARDEL_EXPORT_JSON_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace vardel {

// The whole text for every statement of `statements`, in list order.
// Cannot fail; keeps no state.
[[nodiscard]] std::string export_json(const std::vector<Statement>& statements);

// Appends `text` as a JSON string, quotes included: '"' and '\\' and the
// bytes 0x00-0x1F escaped (\b \t \n \f \r, else \u00xx in lower-case hex);
// every other byte, 0x7F and UTF-8 sequences included, copied unchanged.
void write_json_string(std::string& out, std::string_view text);

// Appends the finite double `x` as a JSON number: the shortest round-trip
// digits, plain notation ("0.05", "1000.0", "-0.0") for decimal exponents
// -5..15, else exponent notation with a signed exponent ("1e+16", "1.5e-6").
void write_json_double(std::string& out, double x);

}  // namespace vardel

#endif  // VARDEL_EXPORT_JSON_H_
