// camt.053.001.06 XML export: one Document, one Stmt per statement, one Ntry per transaction.
//
//   std::string xml = vardel::export_camt053(statements);
//   // "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document xmlns=..."
//
// The document is written line by line with two spaces per nesting level and
// line feeds only; the message id "MT940-EXPORT" and the creation time
// "2026-01-01T00:00:00Z" are fixed. It is not checked against the schema.
#ifndef VARDEL_EXPORT_CAMT053_H_
#define VARDEL_EXPORT_CAMT053_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace vardel {

// The whole text for every statement of `statements`, in list order.
// Cannot fail; keeps no state.
[[nodiscard]] std::string export_camt053(const std::vector<Statement>& statements);

// Appends the <Bal> block (6 spaces deep) of `balance` with the type code
// `code` ("OPBD" or "CLBD") to `out`.
void write_camt_balance(std::string& out, std::string_view code, const Balance& balance);

// Element text: `text` with '&' '<' '>' '"' '\'' replaced by &amp; &lt; &gt;
// &quot; &apos; and a carriage return by &#13; (which a reader gives back,
// where it turns a raw one into a line feed). An '&' that already begins an
// entity is replaced too ("&amp;" -> "&amp;amp;"). Each character that XML 1.0
// cannot hold (U+0000..U+0008, U+000B, U+000C, U+000E..U+001F, U+FFFE,
// U+FFFF) is written as U+FFFD; tab, line feed and every other character stay
// as they are.
[[nodiscard]] std::string escape_xml(std::string_view text);
// Appends escape_xml(text) to `out` without a temporary.
void append_escaped_xml(std::string& out, std::string_view text);
// Appends an attribute value: escape_xml(text) with, in addition, a tab and a
// line feed written as &#9; and &#10;, which a reader would turn into spaces.
void append_escaped_xml_attribute(std::string& out, std::string_view text);

}  // namespace vardel

#endif  // VARDEL_EXPORT_CAMT053_H_
