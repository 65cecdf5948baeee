// JSON export: pretty layout, string escaping and the number form, written
// straight into one growing output text.
#include "core/export/json.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/huge_pages.hpp"

namespace vardel {
namespace {

// Per byte: 0 copied unchanged, 'u' written as \u00xx, any other value is the
// letter of a two-character escape (\" \\ \b \t \n \f \r).
constexpr std::array<char, 256> make_escape_table() {
  std::array<char, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[c] = 'u';
  t['"'] = '"';
  t['\\'] = '\\';
  t['\b'] = 'b';
  t['\t'] = 't';
  t['\n'] = 'n';
  t['\f'] = 'f';
  t['\r'] = 'r';
  return t;
}
constexpr std::array<char, 256> kEscape = make_escape_table();

constexpr std::string_view kTimeSuffix = "T00:00:00.000Z";

// ",\n" before every element but the first, "\n" before the first, then
// `spaces` spaces: the start of one element line.
void element_start(std::string& out, bool first, size_t spaces) {
  if (first) {
    out += '\n';
  } else {
    out += ",\n";
  }
  out.append(spaces, ' ');
}

// An object key and the ": " after it; keys are plain ASCII, no escapes.
void key(std::string& out, bool first, size_t spaces, std::string_view name) {
  element_start(out, first, spaces);
  out += '"';
  out += name;
  out += "\": ";
}

void string_field(std::string& out, bool first, size_t spaces, std::string_view name,
                  std::string_view value) {
  key(out, first, spaces, name);
  write_json_string(out, value);
}

void date_field(std::string& out, size_t spaces, std::string_view name, const Date& date,
                std::string_view suffix = {}) {
  key(out, false, spaces, name);
  out += '"';
  date.append_iso(out);
  out += suffix;
  out += '"';
}

void double_field(std::string& out, size_t spaces, std::string_view name, const Decimal& d) {
  key(out, false, spaces, name);
  write_json_double(out, decimal_to_float(d));
}

std::string_view or_empty(const std::optional<std::string>& text) {
  return text ? std::string_view(*text) : std::string_view();
}

// A transaction object: braces at 6 spaces, keys at 8, structuredDetails keys at 10.
void write_transaction(std::string& out, const TransactionRecord& t, std::string_view currency) {
  out += '{';
  key(out, true, 8, "date");
  out += '"';
  t.value_date.append_iso(out);
  out += '"';
  if (t.entry_date) date_field(out, 8, "entryDate", *t.entry_date);
  if (t.funds_code) string_field(out, false, 8, "fundsCode", *t.funds_code);
  double_field(out, 8, "amount", t.signed_amount());
  key(out, false, 8, "isReversal");
  out += is_reversal(t.debit_credit) ? "true" : "false";
  string_field(out, false, 8, "transactionType", t.transaction_type);
  string_field(out, false, 8, "reference", t.customer_reference);
  string_field(out, false, 8, "bankReference", or_empty(t.bank_reference));
  string_field(out, false, 8, "extraDetails", or_empty(t.extra_details));
  string_field(out, false, 8, "currency", currency);
  string_field(out, false, 8, "details", t.details);
  if (t.structured_details) {
    key(out, false, 8, "structuredDetails");
    out += '{';
    // The map iterates its codes in ascending byte order already.
    bool first = true;
    for (const StructuredDetails::Entry& e : *t.structured_details) {
      element_start(out, first, 10);
      write_json_string(out, e.code);
      out += ": ";
      write_json_string(out, e.value);
      first = false;
    }
    if (!first) out += "\n        ";
    out += '}';
  }
  out += "\n      }";
}

// A statement object: braces at 2 spaces, keys at 4.
void write_statement(std::string& out, const Statement& s) {
  const Balance& closing = s.closing_balance;
  const Balance& closing_available =
      s.closing_available_balance ? *s.closing_available_balance : closing;
  const Balance& forward_available =
      s.forward_available_balance ? *s.forward_available_balance : closing;
  const std::string_view currency = s.opening_balance.currency;

  out += '{';
  string_field(out, true, 4, "transactionReference", s.transaction_reference);
  string_field(out, false, 4, "relatedReference", or_empty(s.related_reference));
  string_field(out, false, 4, "accountIdentification", s.account_identification);
  key(out, false, 4, "number");
  out += '{';
  string_field(out, true, 6, "statement", s.statement_number);
  if (s.sequence_number) string_field(out, false, 6, "sequence", *s.sequence_number);
  string_field(out, false, 6, "section", "");
  out += "\n    }";
  date_field(out, 4, "statementDate", closing.date);
  date_field(out, 4, "openingBalanceDate", s.opening_balance.date);
  date_field(out, 4, "closingBalanceDate", closing.date);
  date_field(out, 4, "closingAvailableBalanceDate", closing_available.date, kTimeSuffix);
  date_field(out, 4, "forwardAvailableBalanceDate", forward_available.date, kTimeSuffix);
  string_field(out, false, 4, "currency", currency);
  // Balances are signed by their mark: a D balance (overdraft) is negative.
  double_field(out, 4, "openingBalance", s.opening_balance.signed_amount());
  double_field(out, 4, "closingBalance", closing.signed_amount());
  double_field(out, 4, "closingAvailableBalance", closing_available.signed_amount());
  double_field(out, 4, "forwardAvailableBalance", forward_available.signed_amount());
  string_field(out, false, 4, "informationToAccountOwner",
               or_empty(s.information_to_account_owner));
  key(out, false, 4, "transactions");
  out += '[';
  bool first = true;
  for (const TransactionRecord& t : s.transactions) {
    element_start(out, first, 6);
    write_transaction(out, t, currency);
    first = false;
  }
  if (!first) out += "\n    ";
  out += "]\n  }";
}

// A rough size of the output, so the text is allocated about once.
size_t estimate_size(const std::vector<Statement>& statements) {
  size_t n = 2;
  for (const Statement& s : statements) {
    n += 900 + s.transaction_reference.size() + s.account_identification.size() +
         or_empty(s.related_reference).size() + or_empty(s.information_to_account_owner).size();
    for (const TransactionRecord& t : s.transactions) {
      n += 400 + t.customer_reference.size() + t.details.size() +
           or_empty(t.bank_reference).size() + or_empty(t.extra_details).size();
      if (t.structured_details) {
        for (const StructuredDetails::Entry& e : *t.structured_details) {
          n += 16 + e.code.size() + e.value.size();
        }
      }
    }
  }
  return n;
}

}  // namespace

void write_json_string(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end) {
    // Copy the run of bytes that need no escape in one piece.
    const char* run = p;
    while (p != end && kEscape[static_cast<unsigned char>(*p)] == 0) ++p;
    out.append(run, static_cast<size_t>(p - run));
    if (p == end) break;
    const unsigned char c = static_cast<unsigned char>(*p++);
    const char e = kEscape[c];
    if (e == 'u') {
      const char u[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.append(u, 6);
    } else {
      const char two[2] = {'\\', e};
      out.append(two, 2);
    }
  }
  out += '"';
}

void write_json_double(std::string& out, double x) {
  // Decimals never come near the double range; JSON has no infinities.
  if (!std::isfinite(x)) {
    out += "null";
    return;
  }
  if (std::signbit(x)) out += '-';
  x = std::fabs(x);
  if (x == 0.0) {
    out += "0.0";
    return;
  }
  // Shortest round-trip form "d[.ddd]e±XX".
  char buf[40];
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
  const char* p = buf;
  const char* const end = r.ptr;
  char digits[24];
  size_t n = 0;
  while (p != end && *p != 'e') {
    if (*p != '.') digits[n++] = *p;
    ++p;
  }
  int e = 0;
  if (p != end) {
    ++p;  // 'e'
    const bool negative_exponent = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    for (; p != end; ++p) e = e * 10 + (*p - '0');
    if (negative_exponent) e = -e;
  }
  // to_chars already drops trailing zeros of the shortest form; keep that true.
  while (n > 1 && digits[n - 1] == '0') --n;

  if (e >= -5 && e <= 15) {
    if (e < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-e - 1), '0');
      out.append(digits, n);
    } else if (static_cast<size_t>(e) >= n - 1) {
      out.append(digits, n);
      out.append(static_cast<size_t>(e) + 1 - n, '0');
      out += ".0";
    } else {
      const size_t whole = static_cast<size_t>(e) + 1;
      out.append(digits, whole);
      out += '.';
      out.append(digits + whole, n - whole);
    }
    return;
  }
  out += digits[0];
  if (n > 1) {
    out += '.';
    out.append(digits + 1, n - 1);
  }
  out += 'e';
  out += e < 0 ? '-' : '+';
  char ebuf[8];
  const std::to_chars_result er = std::to_chars(ebuf, ebuf + sizeof ebuf, e < 0 ? -e : e);
  out.append(ebuf, er.ptr);
}

std::string export_json(const std::vector<Statement>& statements) {
  std::string out = new_output_buffer(estimate_size(statements));
  out += '[';
  bool first = true;
  for (const Statement& s : statements) {
    element_start(out, first, 2);
    write_statement(out, s);
    first = false;
  }
  if (!first) out += '\n';
  out += ']';
  return out;
}

}  // namespace vardel
