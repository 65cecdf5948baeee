// CSV export: rows of every statement's transactions, written into one growing text.
#include "core/export/csv.hpp"

#include <cstddef>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/decoders/lookups.hpp"
#include "core/huge_pages.hpp"

namespace vardel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Only these four bytes force quoting; all are ASCII, so they never sit
// inside a multi-byte UTF-8 character. A carriage return ends a row for most
// CSV readers, as a line feed does, so it is kept inside quotes too.
bool needs_quoting(std::string_view cell) {
  for (char c : cell) {
    if (c == ',' || c == '"' || c == '\n' || c == '\r') return true;
  }
  return false;
}

size_t estimate_size(const std::vector<Statement>& statements) {
  size_t n = kByteOrderMark.size() + kCsvHeader.size();
  for (const Statement& s : statements) {
    const size_t per_row =
        80 + s.statement_number.size() + s.account_identification.size();
    for (const TransactionRecord& t : s.transactions) {
      n += per_row + t.customer_reference.size() + t.details.size() +
           (t.bank_reference ? t.bank_reference->size() : 0);
    }
  }
  return n;
}

// Appends one look-up's text as a cell, built in `scratch` (a buffer kept
// across rows, so that rows allocate nothing).
template <void (*Lookup)(std::string&, const StructuredDetails&)>
void append_lookup_field(std::string& out, std::string& scratch, const StructuredDetails& details) {
  scratch.clear();
  Lookup(scratch, details);
  append_csv_field(out, scratch);
}

void write_row(std::string& out, std::string& scratch, const Statement& s,
               const TransactionRecord& t) {
  append_csv_field(out, s.statement_number);
  out += ',';
  append_csv_field(out, s.account_identification);
  out += ',';
  append_csv_field(out, s.opening_balance.currency);
  out += ',';
  // Dates are digits and '-' only: nothing to quote.
  t.value_date.append_iso(out);
  out += ',';
  (t.entry_date ? *t.entry_date : t.value_date).append_iso(out);
  out += ',';
  append_csv_field(out, t.transaction_type);
  out += ',';
  append_csv_field(out, t.customer_reference);
  out += ',';
  if (t.bank_reference) append_csv_field(out, *t.bank_reference);
  out += ',';
  if (t.structured_details) {
    append_lookup_field<&append_counterparty>(out, scratch, *t.structured_details);
    out += ',';
    append_lookup_field<&append_counter_iban>(out, scratch, *t.structured_details);
    out += ',';
    append_lookup_field<&append_purpose>(out, scratch, *t.structured_details);
  } else {
    out += ",,";
    append_csv_field(out, t.details);
  }
  out += ',';
  t.signed_amount().append_padded(out, 2);
  out += is_reversal(t.debit_credit) ? ",Y\n" : ",N\n";
}

}  // namespace

void append_csv_field(std::string& out, std::string_view cell) {
  if (!needs_quoting(cell)) {
    out += cell;
    return;
  }
  out += '"';
  size_t from = 0;
  for (size_t q = cell.find('"'); q != std::string_view::npos; q = cell.find('"', q + 1)) {
    out.append(cell.substr(from, q + 1 - from));  // up to and including the quote
    out += '"';
    from = q + 1;
  }
  out.append(cell.substr(from));
  out += '"';
}

std::string quote_csv_field(std::string_view cell) {
  std::string out;
  out.reserve(cell.size() + 2);
  append_csv_field(out, cell);
  return out;
}

std::string export_csv(const std::vector<Statement>& statements) {
  std::string out = new_output_buffer(estimate_size(statements));
  out += kByteOrderMark;
  out += kCsvHeader;
  std::string scratch;
  for (const Statement& s : statements) {
    for (const TransactionRecord& t : s.transactions) write_row(out, scratch, s, t);
  }
  return out;
}

}  // namespace vardel
