// CSV export: rows of every statement's transactions, written into one growing text.
#include "core/export/csv.hpp"

#include <cstddef>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/decoders/lookups.hpp"

namespace vardel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Only these three bytes force quoting; all are ASCII, so they never sit
// inside a multi-byte UTF-8 character.
bool needs_quoting(std::string_view cell) {
  for (char c : cell) {
    if (c == ',' || c == '"' || c == '\n') return true;
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

void write_row(std::string& out, const Statement& s, const TransactionRecord& t) {
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
    append_csv_field(out, counterparty_from_details(*t.structured_details));
    out += ',';
    append_csv_field(out, counter_iban_from_details(*t.structured_details));
    out += ',';
    append_csv_field(out, purpose_from_details(*t.structured_details));
  } else {
    out += ",,";
    append_csv_field(out, t.details);
  }
  out += ',';
  t.signed_amount().append_fixed(out, 2);
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
  std::string out;
  out.reserve(estimate_size(statements));
  out += kByteOrderMark;
  out += kCsvHeader;
  for (const Statement& s : statements) {
    for (const TransactionRecord& t : s.transactions) write_row(out, s, t);
  }
  return out;
}

}  // namespace vardel
