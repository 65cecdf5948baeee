// The :61: statement-line reader: a single left-to-right scan that yields
// the groups of kStatementLinePattern, and the record built from them.
#include "core/statement_line.hpp"

#include <cassert>
#include <cstddef>
#include <string>
#include <utility>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/text.hpp"
#include "core/unicode_digits.hpp"

namespace vardel {
namespace {

// Stands for a malformed UTF-8 byte: matches no class but the negated ones
// ([^/] and [^\r\n]), like any other character that is neither '/' nor CR/LF.
constexpr char32_t kMalformed = 0xFFFFFFFF;

struct DecodedChar {
  char32_t cp;  // the code point, or kMalformed
  size_t size;  // bytes taken, at least 1
};

constexpr bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes the character at `pos` (pos < text.size()). Overlong forms,
// surrogates, values above U+10FFFF and truncated sequences are malformed:
// their first byte becomes one kMalformed character, so the scan never
// stops inside a well-formed character and never reads past the end.
DecodedChar decode_at(std::string_view text, size_t pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  unsigned char b0 = byte(0);
  if (b0 < 0x80) return {b0, 1};
  size_t left = text.size() - pos;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left >= 2 && is_continuation(byte(1))) {
      return {static_cast<char32_t>((b0 & 0x1F) << 6 | (byte(1) & 0x3F)), 2};
    }
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left >= 3 && is_continuation(byte(1)) && is_continuation(byte(2))) {
      char32_t cp = static_cast<char32_t>((b0 & 0x0F) << 12 | (byte(1) & 0x3F) << 6 |
                                          (byte(2) & 0x3F));
      if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) return {cp, 3};
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left >= 4 && is_continuation(byte(1)) && is_continuation(byte(2)) &&
        is_continuation(byte(3))) {
      char32_t cp = static_cast<char32_t>((b0 & 0x07) << 18 | (byte(1) & 0x3F) << 12 |
                                          (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F));
      if (cp >= 0x10000 && cp <= 0x10FFFF) return {cp, 4};
    }
  }
  return {kMalformed, 1};
}

// Byte length of the decimal digit (\d, category Nd) at `pos`, or 0 when
// none starts there (including at the end of the text).
size_t digit_at(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  unsigned char b = static_cast<unsigned char>(text[pos]);
  if (b < 0x80) return b >= '0' && b <= '9' ? 1 : 0;
  DecodedChar c = decode_at(text, pos);
  return c.cp != kMalformed && is_unicode_decimal_digit(c.cp) ? c.size : 0;
}

// Takes up to `max` digits from `pos` onwards; returns how many were taken
// and advances `pos` past them.
size_t take_digits(std::string_view text, size_t& pos, size_t max) {
  size_t count = 0;
  while (count < max) {
    size_t n = digit_at(text, pos);
    if (n == 0) break;
    pos += n;
    ++count;
  }
  return count;
}

constexpr bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_ascii_alnum(char c) {
  return is_ascii_upper(c) || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

// Each step below takes the one choice that the pattern's backtracking order
// can complete; every other choice at that step fails right at the next
// element, so no step ever needs to be revisited:
//  - (\d{4})? taken over four digits leaves the mark at char 6, a digit;
//    (\d{4})? absent before fewer than four digits leaves a digit there too.
//  - RD|RC|D|C: at most one alternative fits the next characters.
//  - ([A-Z])? dropped would leave a letter where a digit must start.
//  - \d{1,15} and \d{0,2} stopped early would leave a digit where ',' or
//    [NF] must stand; a 16th digit or a 3rd fraction digit fails likewise.
//  - ([^/]*?) cannot pass the first '/' of the rest R; before it neither
//    "//" nor the end can follow. So either R holds no '/' (group 7 is R) or
//    the first '/' starts "//" followed by no CR/LF up to the end.
std::optional<StatementLineMatch> match_statement_line(std::string_view line) {
  StatementLineMatch m;
  size_t pos = 0;

  // (\d{6})
  if (take_digits(line, pos, 6) != 6) return std::nullopt;
  m.value_date = line.substr(0, pos);

  // (\d{4})?
  size_t entry_start = pos;
  if (take_digits(line, pos, 4) == 4) {
    m.entry_date = line.substr(entry_start, pos - entry_start);
  } else {
    pos = entry_start;
  }

  // (RD|RC|D|C)
  if (pos >= line.size()) return std::nullopt;
  if (line[pos] == 'R') {
    if (pos + 1 >= line.size() || (line[pos + 1] != 'D' && line[pos + 1] != 'C')) {
      return std::nullopt;
    }
    m.mark = line.substr(pos, 2);
    pos += 2;
  } else if (line[pos] == 'D' || line[pos] == 'C') {
    m.mark = line.substr(pos, 1);
    pos += 1;
  } else {
    return std::nullopt;
  }

  // ([A-Z])?
  if (pos < line.size() && is_ascii_upper(line[pos])) {
    m.funds_code = line.substr(pos, 1);
    pos += 1;
  }

  // (\d{1,15},\d{0,2})
  size_t amount_start = pos;
  if (take_digits(line, pos, 15) == 0) return std::nullopt;
  if (pos >= line.size() || line[pos] != ',') return std::nullopt;
  pos += 1;
  take_digits(line, pos, 2);
  m.amount = line.substr(amount_start, pos - amount_start);

  // ([NF][A-Za-z0-9]{3})
  if (line.size() - pos < 4 || (line[pos] != 'N' && line[pos] != 'F') ||
      !is_ascii_alnum(line[pos + 1]) || !is_ascii_alnum(line[pos + 2]) ||
      !is_ascii_alnum(line[pos + 3])) {
    return std::nullopt;
  }
  m.transaction_type = line.substr(pos, 4);
  pos += 4;

  // ([^/]*?)(?://([^\r\n]*))?$
  std::string_view rest = line.substr(pos);
  size_t slash = rest.find('/');
  if (slash == std::string_view::npos) {
    m.customer_reference = rest;
    return m;
  }
  if (slash + 1 >= rest.size() || rest[slash + 1] != '/') return std::nullopt;
  std::string_view bank = rest.substr(slash + 2);
  if (bank.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  m.customer_reference = rest.substr(0, slash);
  m.bank_reference = bank;
  return m;
}

Result<TransactionRecord> parse_statement_line(std::string_view value) {
  size_t line_feed = value.find('\n');
  std::string_view line = value.substr(0, line_feed);

  std::optional<std::string> extra_details;
  if (line_feed != std::string_view::npos) {
    std::string_view extra = trim_white_space(value.substr(line_feed + 1));
    if (!extra.empty()) extra_details.emplace(extra);
  }

  std::optional<StatementLineMatch> m = match_statement_line(line);
  if (!m) return ParseError::invalid_format(kStatementLineTag, line, kReasonNoMatch);

  Result<Date> value_date = parse_date(m->value_date);
  if (!value_date) return std::move(value_date).error();

  // Four digits in four bytes are ASCII digits; an entry date written with
  // other decimal digits is longer and gives no entry date. MMDD has no year:
  // it is the value date's, except across the turn of the year. A December
  // value date with an entry month before June books into the next year; a
  // January value date with an entry month after June was booked in the year
  // before (value 2 January, booked 31 December).
  std::optional<Date> entry_date;
  if (m->entry_date && m->entry_date->size() == 4) {
    std::string_view mmdd = *m->entry_date;
    assert(mmdd.find_first_not_of("0123456789") == std::string_view::npos);
    int month = (mmdd[0] - '0') * 10 + (mmdd[1] - '0');
    int day = (mmdd[2] - '0') * 10 + (mmdd[3] - '0');
    int year = value_date->year;
    if (value_date->month == 12 && month < 6) ++year;
    if (value_date->month == 1 && month > 6) --year;
    entry_date = Date::from_ymd(year, month, day);
  }

  DebitCreditMark mark;
  if (m->mark == "D") {
    mark = DebitCreditMark::Debit;
  } else if (m->mark == "C") {
    mark = DebitCreditMark::Credit;
  } else if (m->mark == "RD") {
    mark = DebitCreditMark::ReversalOfDebit;
  } else {
    mark = DebitCreditMark::ReversalOfCredit;
  }

  std::optional<std::string> funds_code;
  if (m->funds_code) funds_code.emplace(*m->funds_code);

  Result<Decimal> amount = parse_amount(m->amount);
  if (!amount) return std::move(amount).error();

  TransactionRecord record;
  record.value_date = *value_date;
  record.entry_date = entry_date;
  record.debit_credit = mark;
  record.funds_code = std::move(funds_code);
  record.amount = *amount;
  record.transaction_type = std::string(m->transaction_type);
  record.customer_reference = std::string(trim_white_space(m->customer_reference));
  if (m->bank_reference) record.bank_reference.emplace(*m->bank_reference);
  record.extra_details = std::move(extra_details);
  return record;
}

}  // namespace vardel
