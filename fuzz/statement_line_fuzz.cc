// libFuzzer target for the :61: reader: match_statement_line on the first
// line of the input and parse_statement_line on the whole input.
//
// Invariants checked beyond "no crash, no sanitizer report":
//  - for short ASCII lines the hand-written scan gives exactly the groups of
//    the pattern run by std::regex (ECMAScript: leftmost-first, lazy *?, and
//    \d equal to the Unicode class on ASCII text);
//  - parse_statement_line is the match plus parse_date and parse_amount of
//    its groups, with the errors in the documented order;
//  - every record has the shape the pattern allows, and for valid UTF-8 input
//    all its texts and any error message are valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "core/statement_line.hpp"
#include "core/text.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::StatementLineMatch;

// std::regex backtracks recursively; keep its inputs short.
constexpr size_t kMaxRegexLine = 200;

const std::regex& reference_pattern() {
  static const std::regex re(std::string(vardel::kStatementLinePattern),
                             std::regex::ECMAScript);
  return re;
}

std::optional<std::string_view> group(const std::cmatch& m, size_t i, std::string_view line) {
  if (!m[i].matched) return std::nullopt;
  return line.substr(static_cast<size_t>(m[i].first - line.data()),
                     static_cast<size_t>(m[i].length()));
}

void check_against_regex(std::string_view line, const std::optional<StatementLineMatch>& got) {
  std::cmatch m;
  const bool matched =
      std::regex_match(line.data(), line.data() + line.size(), m, reference_pattern());
  FUZZ_CHECK(got.has_value() == matched);
  if (!matched) return;
  FUZZ_CHECK(got->value_date == *group(m, 1, line));
  FUZZ_CHECK(got->entry_date == group(m, 2, line));
  FUZZ_CHECK(got->mark == *group(m, 3, line));
  FUZZ_CHECK(got->funds_code == group(m, 4, line));
  FUZZ_CHECK(got->amount == *group(m, 5, line));
  FUZZ_CHECK(got->transaction_type == *group(m, 6, line));
  FUZZ_CHECK(got->customer_reference == *group(m, 7, line));
  FUZZ_CHECK(got->bank_reference == group(m, 8, line));
}

vardel::DebitCreditMark mark_of(std::string_view code) {
  if (code == "D") return vardel::DebitCreditMark::Debit;
  if (code == "C") return vardel::DebitCreditMark::Credit;
  if (code == "RD") return vardel::DebitCreditMark::ReversalOfDebit;
  FUZZ_CHECK(code == "RC");
  return vardel::DebitCreditMark::ReversalOfCredit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const bool utf8_input = vardel::fuzz::is_valid_utf8(value);
  const size_t lf = value.find('\n');
  const std::string_view line = value.substr(0, lf);

  const std::optional<StatementLineMatch> match = vardel::match_statement_line(line);
  if (line.size() <= kMaxRegexLine && vardel::fuzz::is_ascii(line)) {
    check_against_regex(line, match);
  }

  const vardel::Result<vardel::TransactionRecord> got = vardel::parse_statement_line(value);
  if (!match) {
    FUZZ_CHECK(!got);
    FUZZ_CHECK(got.error() == vardel::ParseError::invalid_format(vardel::kStatementLineTag, line,
                                                                 vardel::kReasonNoMatch));
    if (utf8_input) vardel::fuzz::check_utf8(got.error().message());
    return 0;
  }
  const vardel::Result<vardel::Date> date = vardel::parse_date(match->value_date);
  if (!date) {
    FUZZ_CHECK(!got && got.error() == date.error());
    return 0;
  }
  const vardel::Result<vardel::Decimal> amount = vardel::parse_amount(match->amount);
  if (!amount) {
    FUZZ_CHECK(!got && got.error() == amount.error());
    if (utf8_input) vardel::fuzz::check_utf8(got.error().message());
    return 0;
  }
  FUZZ_CHECK(got.has_value());
  const vardel::TransactionRecord& t = *got;
  vardel::fuzz::check_record_shape(t);
  FUZZ_CHECK(t.value_date == *date);
  FUZZ_CHECK(t.amount == *amount);
  FUZZ_CHECK(t.debit_credit == mark_of(match->mark));
  FUZZ_CHECK(t.funds_code == match->funds_code);  // with every mark, reversals included
  FUZZ_CHECK(t.transaction_type == match->transaction_type);
  FUZZ_CHECK(t.customer_reference == vardel::trim_white_space(match->customer_reference));
  FUZZ_CHECK(t.bank_reference == match->bank_reference);
  if (match->entry_date && match->entry_date->size() != 4) FUZZ_CHECK(!t.entry_date);
  if (!match->entry_date) FUZZ_CHECK(!t.entry_date);
  if (lf == std::string_view::npos) {
    FUZZ_CHECK(!t.extra_details);
  } else {
    const std::string_view rest = vardel::trim_white_space(value.substr(lf + 1));
    FUZZ_CHECK(t.extra_details.has_value() == !rest.empty());
    if (t.extra_details) FUZZ_CHECK(*t.extra_details == rest);
  }
  FUZZ_CHECK(t.details.empty());
  FUZZ_CHECK(!t.structured_details);
  if (utf8_input) vardel::fuzz::check_utf8(t);
  return 0;
}
