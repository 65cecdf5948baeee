// :61: statement lines: the groups of the scan, lines that must not match,
// the records built from them, their errors, and the scan checked against a
// backtracking regex engine on ASCII lines.
#include "core/statement_line.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <ostream>
#include <random>
#include <regex>
#include <string>
#include <string_view>

#include "core/unicode_digits.hpp"

namespace vardel {
namespace {

// The same digits written with other decimal digits of category Nd.
std::string arabic_indic(std::string_view ascii_digits) {  // U+0660.., 2 bytes each
  std::string out;
  for (char c : ascii_digits) {
    out += '\xD9';
    out += static_cast<char>(0xA0 + (c - '0'));
  }
  return out;
}
std::string fullwidth(std::string_view ascii_digits) {  // U+FF10.., 3 bytes each
  std::string out;
  for (char c : ascii_digits) {
    out += "\xEF\xBC";
    out += static_cast<char>(0x90 + (c - '0'));
  }
  return out;
}
std::string math_bold(std::string_view ascii_digits) {  // U+1D7CE.., 4 bytes each
  std::string out;
  for (char c : ascii_digits) {
    out += "\xF0\x9D\x9F";
    out += static_cast<char>(0x8E + (c - '0'));
  }
  return out;
}

using Group = std::optional<std::string>;
const Group kAbsent = std::nullopt;

struct MatchCase {
  const char* name;
  std::string line;
  std::string value_date;
  Group entry_date;
  std::string mark;
  Group funds_code;
  std::string amount;
  std::string transaction_type;
  std::string customer_reference;
  Group bank_reference;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

const MatchCase kMatching[] = {
    // All groups present.
    {"AllGroups", "2301010102DN1234,56NTRFREF1//B1", "230101", "0102", "D", "N", "1234,56", "NTRF",
     "REF1", "B1"},
    // Optional groups absent.
    {"Minimal", "231230D5,NMSCX", "231230", kAbsent, "D", kAbsent, "5,", "NMSC", "X", kAbsent},
    {"EmptyReference", "230101C0,NTRF", "230101", kAbsent, "C", kAbsent, "0,", "NTRF", "",
     kAbsent},
    // Marks and funds codes.
    {"ReversalOfDebitWithFunds", "230101RDN10,00NTRFX", "230101", kAbsent, "RD", "N", "10,00",
     "NTRF", "X", kAbsent},
    {"ReversalOfCredit", "230101RC10,00NTRFX", "230101", kAbsent, "RC", kAbsent, "10,00", "NTRF",
     "X", kAbsent},
    {"CreditWithFundsR", "230101CR1,00NTRFX", "230101", kAbsent, "C", "R", "1,00", "NTRF", "X",
     kAbsent},
    {"ReversalWithFundsR", "230101RCR1,00NTRFX", "230101", kAbsent, "RC", "R", "1,00", "NTRF", "X",
     kAbsent},
    {"DebitWithFundsD", "230101DD1,00NTRFX", "230101", kAbsent, "D", "D", "1,00", "NTRF", "X",
     kAbsent},
    // Amount and type limits.
    {"FifteenDigits", "230101C123456789012345,00NTRFX", "230101", kAbsent, "C", kAbsent,
     "123456789012345,00", "NTRF", "X", kAbsent},
    {"OneFractionDigit", "230101C1,5F1a2", "230101", kAbsent, "C", kAbsent, "1,5", "F1a2", "",
     kAbsent},
    // Customer and bank reference.
    {"SpacedReferenceEmptyBank", "230101D10,00NTRF  A  //", "230101", kAbsent, "D", kAbsent,
     "10,00", "NTRF", "  A  ", ""},
    {"SlashInBank", "230101D10,00NTRFA//B/C", "230101", kAbsent, "D", kAbsent, "10,00", "NTRF", "A",
     "B/C"},
    {"DoubleSlashInBank", "230101D10,00NTRFA//B//C", "230101", kAbsent, "D", kAbsent, "10,00",
     "NTRF", "A", "B//C"},
    {"FourSlashes", "230101D10,00NTRF////", "230101", kAbsent, "D", kAbsent, "10,00", "NTRF", "",
     "//"},
    {"BankUntrimmed", "230101D10,00NTRFX// B1 ", "230101", kAbsent, "D", kAbsent, "10,00", "NTRF",
     "X", " B1 "},
    {"CarriageReturnInReference", "230101D10,00NTRFA\rB", "230101", kAbsent, "D", kAbsent, "10,00",
     "NTRF", "A\rB", kAbsent},
    {"CarriageReturnBeforeBank", "230101D10,00NTRFA\r//B", "230101", kAbsent, "D", kAbsent,
     "10,00", "NTRF", "A\r", "B"},
    {"LineFeedInReference", "230101D10,00NTRFA\nB", "230101", kAbsent, "D", kAbsent, "10,00",
     "NTRF", "A\nB", kAbsent},
    {"NonAsciiReferences", "230101D10,00NTRF\xC3\x84\xE2\x82\xAC//\xF0\x9F\x98\x80", "230101",
     kAbsent, "D", kAbsent, "10,00", "NTRF", "\xC3\x84\xE2\x82\xAC", "\xF0\x9F\x98\x80"},
    // Other decimal digits: counted as characters, not bytes.
    {"ArabicIndicValueDate", arabic_indic("230101") + "D1,00NTRFX", arabic_indic("230101"),
     kAbsent, "D", kAbsent, "1,00", "NTRF", "X", kAbsent},
    {"FullwidthEntryDate", "230101" + fullwidth("0102") + "D1,00NTRFX", "230101",
     fullwidth("0102"), "D", kAbsent, "1,00", "NTRF", "X", kAbsent},
    {"MathBoldAmount", "230101D" + math_bold("12") + "," + math_bold("34") + "NTRFX", "230101",
     kAbsent, "D", kAbsent, math_bold("12") + "," + math_bold("34"), "NTRF", "X", kAbsent},
    {"FifteenArabicIndicDigits", "230101D" + arabic_indic("123456789012345") + ",NTRFX", "230101",
     kAbsent, "D", kAbsent, arabic_indic("123456789012345") + ",", "NTRF", "X", kAbsent},
    {"MixedDigitsValueDate", "23" + math_bold("01") + fullwidth("0") + "1D1,00NTRFX",
     "23" + math_bold("01") + fullwidth("0") + "1", kAbsent, "D", kAbsent, "1,00", "NTRF", "X",
     kAbsent},
};

class MatchingLineTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchingLineTest, YieldsGroups) {
  const MatchCase& c = GetParam();
  std::optional<StatementLineMatch> m = match_statement_line(c.line);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->value_date, c.value_date);
  EXPECT_EQ(m->entry_date, c.entry_date);
  EXPECT_EQ(m->mark, c.mark);
  EXPECT_EQ(m->funds_code, c.funds_code);
  EXPECT_EQ(m->amount, c.amount);
  EXPECT_EQ(m->transaction_type, c.transaction_type);
  EXPECT_EQ(m->customer_reference, c.customer_reference);
  EXPECT_EQ(m->bank_reference, c.bank_reference);
}

INSTANTIATE_TEST_SUITE_P(StatementLine, MatchingLineTest, testing::ValuesIn(kMatching),
                         [](const auto& p) { return std::string(p.param.name); });

struct NoMatchCase {
  const char* name;
  std::string line;
};

void PrintTo(const NoMatchCase& c, std::ostream* os) { *os << c.name; }

const NoMatchCase kNotMatching[] = {
    {"Empty", ""},
    // Dates.
    {"FiveDigits", "23010D1,00NTRFX"},
    {"SevenDigits", "2301011D1,00NTRFX"},
    {"NineDigits", "230101010D1,00NTRFX"},
    {"ElevenDigits", "23010101021D1,00NTRFX"},
    {"OnlyDates", "2301010102"},
    {"SuperscriptDigitInDate", "23010\xC2\xB2" "D1,00NTRFX"},   // U+00B2 is No, not Nd
    {"RomanNumeralInDate", "23010\xE2\x85\xA0" "D1,00NTRFX"},   // U+2160 is Nl
    {"ThreeUnicodeDigitsAfterDate", "230101" + arabic_indic("010") + "D1,00NTRFX"},
    // Marks.
    {"LowerCaseMark", "230101d10,00NTRFX"},
    {"ROnly", "230101R1,00NTRFX"},
    {"RFollowedByOther", "230101RX1,00NTRFX"},
    {"RAtEnd", "230101R"},
    {"NoMark", "2301011,00NTRFX"},
    {"LowerCaseFunds", "230101Dn1,00NTRFX"},
    {"TwoFundsLetters", "230101DNN1,00NTRFX"},
    // Amounts.
    {"SixteenDigits", "230101D1234567890123456,00NTRFX"},
    {"ThreeFractionDigits", "230101D10,123NTRFX"},
    {"NoComma", "230101D1000NTRFX"},
    {"PointInsteadOfComma", "230101D10.00NTRFX"},
    {"NoIntegerDigits", "230101D,00NTRFX"},
    {"SignedAmount", "230101D-1,00NTRFX"},
    {"SixteenArabicIndicDigits", "230101D" + arabic_indic("1234567890123456") + ",NTRFX"},
    {"ThreeUnicodeFractionDigits", "230101D1," + fullwidth("123") + "NTRFX"},
    // Transaction type.
    {"LowerCaseType", "230101D10,00ntrfX"},
    {"TypeNotNOrF", "230101D10,00XTRFX"},
    {"TypeTooShort", "230101D10,00NTR"},
    {"TypeWithUnderscore", "230101D10,00NTR_"},
    {"TypeWithNonAsciiLetter", "230101D10,00NTR\xC3\x84"},
    {"TypeWithUnicodeDigit", "230101D10,00N" + arabic_indic("123")},
    // A '/' in the rest that does not start "//".
    {"SingleSlashInside", "230101D10,00NTRFA/B"},
    {"SingleSlashAtEnd", "230101D10,00NTRFA/"},
    {"SingleSlashAtStart", "230101D10,00NTRF/B"},
    {"OnlySlash", "230101D10,00NTRF/"},
    {"SingleSlashBeforeDouble", "230101D10,00NTRFA/B//C"},
    // Line breaks after "//".
    {"CarriageReturnInBank", "230101D10,00NTRFA//B\rC"},
    {"CarriageReturnEndsBank", "230101D10,00NTRFA//B\r"},
    {"LineFeedEndsBank", "230101D10,00NTRFA//B\n"},
    // Malformed UTF-8 is no digit.
    {"TruncatedDigitAtEnd", "23010\xD9"},
    {"TruncatedDigitInDate", "23010\xD9" "D1,00NTRFX"},
    {"OverlongZeroInDate", "23010\xC0\xB0" "D1,00NTRFX"},
    {"SurrogateInDate", "23010\xED\xA0\x80" "D1,00NTRFX"},
};

class NotMatchingLineTest : public testing::TestWithParam<NoMatchCase> {};

TEST_P(NotMatchingLineTest, NoMatch) { EXPECT_FALSE(match_statement_line(GetParam().line)); }

INSTANTIATE_TEST_SUITE_P(StatementLine, NotMatchingLineTest, testing::ValuesIn(kNotMatching),
                         [](const auto& p) { return std::string(p.param.name); });

// A view that ends inside a character must not be read past.
TEST(MatchStatementLineTest, ViewEndingInsideDigit) {
  const std::string buffer = "23010" + arabic_indic("1");
  EXPECT_FALSE(match_statement_line(std::string_view(buffer.data(), buffer.size() - 1)));
  const std::string line = "230101D1,00NTRF" + std::string("//") + "\xE2\x82\xAC";
  std::optional<StatementLineMatch> m =
      match_statement_line(std::string_view(line.data(), line.size() - 2));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->bank_reference, "\xE2");
}

// The groups view the line; nothing is copied.
TEST(MatchStatementLineTest, GroupsViewTheLine) {
  const std::string line = "2301010102D1234,56NTRFREF1//B1";
  std::optional<StatementLineMatch> m = match_statement_line(line);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->value_date.data(), line.data());
  EXPECT_EQ(m->bank_reference->data(), line.data() + line.size() - 2);
}

struct RecordCase {
  const char* name;
  std::string value;
  const char* value_date;
  const char* entry_date;  // nullptr: absent
  DebitCreditMark mark;
  const char* funds_code;  // nullptr: absent
  const char* amount;      // Decimal::to_string
  const char* transaction_type;
  std::string customer_reference;
  const char* bank_reference;  // nullptr: absent
  const char* extra_details;   // nullptr: absent
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

constexpr DebitCreditMark kD = DebitCreditMark::Debit;
constexpr DebitCreditMark kC = DebitCreditMark::Credit;

const RecordCase kRecords[] = {
    {"Full", "2301010102D1234,56NTRFREF1//B1", "2023-01-01", "2023-01-02", kD, nullptr, "1234.56",
     "NTRF", "REF1", "B1", nullptr},
    {"Minimal", "231230D5,NMSCX", "2023-12-30", nullptr, kD, nullptr, "5.00", "NMSC", "X", nullptr,
     nullptr},
    {"ZeroAmountEmptyReference", "230101C0,NTRF", "2023-01-01", nullptr, kC, nullptr, "0.00",
     "NTRF", "", nullptr, nullptr},
    // Entry date year.
    {"EntryNextYear", "2312300102C1,00NTRFX", "2023-12-30", "2024-01-02", kC, nullptr, "1.00",
     "NTRF", "X", nullptr, nullptr},
    {"EntryMayNextYear", "2312300531C1,00NTRFX", "2023-12-30", "2024-05-31", kC, nullptr, "1.00",
     "NTRF", "X", nullptr, nullptr},
    {"EntryJuneSameYear", "2312300615C1,00NTRFX", "2023-12-30", "2023-06-15", kC, nullptr, "1.00",
     "NTRF", "X", nullptr, nullptr},
    // A January value date with an entry month after June was booked the
    // year before; June and earlier stay in the value date's year.
    {"EntryDecemberPreviousYear", "2501021231C1,00NTRFX", "2025-01-02", "2024-12-31", kC,
     nullptr, "1.00", "NTRF", "X", nullptr, nullptr},
    {"EntryJulyPreviousYear", "2501310701C1,00NTRFX", "2025-01-31", "2024-07-01", kC, nullptr,
     "1.00", "NTRF", "X", nullptr, nullptr},
    {"EntryJuneSameYearAsJanuary", "2501310630C1,00NTRFX", "2025-01-31", "2025-06-30", kC,
     nullptr, "1.00", "NTRF", "X", nullptr, nullptr},
    {"EntryFebruaryNoShift", "2502011231C1,00NTRFX", "2025-02-01", "2025-12-31", kC, nullptr,
     "1.00", "NTRF", "X", nullptr, nullptr},
    {"EntryBefore1980", "8001150705C1,00NTRFX", "1980-01-15", "1979-07-05", kC, nullptr, "1.00",
     "NTRF", "X", nullptr, nullptr},
    {"EntryNovemberNoShift", "2311300102C1,00NTRFX", "2023-11-30", "2023-01-02", kC, nullptr,
     "1.00", "NTRF", "X", nullptr, nullptr},
    {"EntryLeapDayNextYear", "2312280229C1,00NTRFX", "2023-12-28", "2024-02-29", kC, nullptr,
     "1.00", "NTRF", "X", nullptr, nullptr},
    // Entry dates that are no calendar day are dropped without an error.
    {"EntryNotLeapYear", "2303010229C1,00NTRFX", "2023-03-01", nullptr, kC, nullptr, "1.00", "NTRF",
     "X", nullptr, nullptr},
    {"EntryMonthZero", "2301010001C1,00NTRFX", "2023-01-01", nullptr, kC, nullptr, "1.00", "NTRF",
     "X", nullptr, nullptr},
    {"EntryMonth13", "2301011301C1,00NTRFX", "2023-01-01", nullptr, kC, nullptr, "1.00", "NTRF",
     "X", nullptr, nullptr},
    {"EntryDayZero", "2301010100C1,00NTRFX", "2023-01-01", nullptr, kC, nullptr, "1.00", "NTRF",
     "X", nullptr, nullptr},
    {"EntryApril31", "2301010431C1,00NTRFX", "2023-01-01", nullptr, kC, nullptr, "1.00", "NTRF",
     "X", nullptr, nullptr},
    {"EntryUnicodeDigits", "230101" + arabic_indic("0102") + "C1,00NTRFX", "2023-01-01", nullptr,
     kC, nullptr, "1.00", "NTRF", "X", nullptr, nullptr},
    // Marks and funds codes.
    {"ReversalOfDebitKeepsFunds", "230101RDN10,00NTRFX", "2023-01-01", nullptr,
     DebitCreditMark::ReversalOfDebit, "N", "10.00", "NTRF", "X", nullptr, nullptr},
    {"ReversalOfCreditKeepsFunds", "2401150115RCR10,00NTRFREF1", "2024-01-15", "2024-01-15",
     DebitCreditMark::ReversalOfCredit, "R", "10.00", "NTRF", "REF1", nullptr, nullptr},
    {"ReversalOfCredit", "230101RC10,00NTRFX", "2023-01-01", nullptr,
     DebitCreditMark::ReversalOfCredit, nullptr, "10.00", "NTRF", "X", nullptr, nullptr},
    {"DebitKeepsFunds", "230101DN10,00NTRFX", "2023-01-01", nullptr, kD, "N", "10.00", "NTRF", "X",
     nullptr, nullptr},
    {"CreditKeepsFunds", "230101CR10,00NTRFX", "2023-01-01", nullptr, kC, "R", "10.00", "NTRF", "X",
     nullptr, nullptr},
    // References: the customer reference is trimmed, the bank reference not.
    {"TrimmedReferenceEmptyBank", "230101D10,00NTRF  A  //", "2023-01-01", nullptr, kD, nullptr,
     "10.00", "NTRF", "A", "", nullptr},
    {"SlashInBank", "230101D10,00NTRFA//B/C", "2023-01-01", nullptr, kD, nullptr, "10.00", "NTRF",
     "A", "B/C", nullptr},
    {"BankUntrimmed", "230101D10,00NTRFA// B ", "2023-01-01", nullptr, kD, nullptr, "10.00", "NTRF",
     "A", " B ", nullptr},
    {"UnicodeSpaceTrimmed", "230101D10,00NTRF\xC2\xA0" "A\xE2\x80\x8B\xE3\x80\x80", "2023-01-01",
     nullptr, kD, nullptr, "10.00", "NTRF", "A\xE2\x80\x8B", nullptr, nullptr},
    {"CarriageReturnBeforeLineFeed", "230101D10,00NTRFX\r\nmore", "2023-01-01", nullptr, kD,
     nullptr, "10.00", "NTRF", "X", nullptr, "more"},
    // Supplementary details after the first line feed.
    {"ExtraTrimmed", "230101D10,00NTRFX\n  more text  \n", "2023-01-01", nullptr, kD, nullptr,
     "10.00", "NTRF", "X", nullptr, "more text"},
    {"ExtraOnlySpace", "230101D10,00NTRFX\n  \n", "2023-01-01", nullptr, kD, nullptr, "10.00",
     "NTRF", "X", nullptr, nullptr},
    {"ExtraEmpty", "230101D10,00NTRFX\n", "2023-01-01", nullptr, kD, nullptr, "10.00", "NTRF", "X",
     nullptr, nullptr},
    {"ExtraKeepsInnerLineFeeds", "230101D10,00NTRFX//B\nline 1\n\nline 2\r\n", "2023-01-01",
     nullptr, kD, nullptr, "10.00", "NTRF", "X", "B", "line 1\n\nline 2"},
    {"ExtraWithSlashes", "230101D10,00NTRFX\n/A/B", "2023-01-01", nullptr, kD, nullptr, "10.00",
     "NTRF", "X", nullptr, "/A/B"},
};

class RecordTest : public testing::TestWithParam<RecordCase> {};

TEST_P(RecordTest, Builds) {
  const RecordCase& c = GetParam();
  Result<TransactionRecord> r = parse_statement_line(c.value);
  ASSERT_TRUE(r) << r.error().message();
  EXPECT_EQ(r->value_date.to_iso_string(), c.value_date);
  if (c.entry_date) {
    ASSERT_TRUE(r->entry_date);
    EXPECT_EQ(r->entry_date->to_iso_string(), c.entry_date);
  } else {
    EXPECT_FALSE(r->entry_date);
  }
  EXPECT_EQ(r->debit_credit, c.mark);
  EXPECT_EQ(r->funds_code, c.funds_code ? Group(c.funds_code) : kAbsent);
  EXPECT_EQ(r->amount.to_string(), c.amount);
  EXPECT_EQ(r->transaction_type, c.transaction_type);
  EXPECT_EQ(r->customer_reference, c.customer_reference);
  EXPECT_EQ(r->bank_reference, c.bank_reference ? Group(c.bank_reference) : kAbsent);
  EXPECT_EQ(r->extra_details, c.extra_details ? Group(c.extra_details) : kAbsent);
  EXPECT_EQ(r->details, "");
  EXPECT_FALSE(r->structured_details);
}

INSTANTIATE_TEST_SUITE_P(StatementLine, RecordTest, testing::ValuesIn(kRecords),
                         [](const auto& p) { return std::string(p.param.name); });

struct ErrorCase {
  const char* name;
  std::string value;
  ParseErrorKind kind;
  std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

const ErrorCase kErrors[] = {
    // No match: the statement line (first line only) is quoted.
    {"Garbage", "XYZ", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: 'XYZ': does not match expected format"},
    {"Empty", "", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '': does not match expected format"},
    {"EmptyTagLine", "\n230101D10,00NTRFX", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '': does not match expected format"},
    {"QuotesFirstLineOnly", "230101D10,123NTRFX\nmore", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '230101D10,123NTRFX': does not match expected format"},
    {"SingleSlash", "230101D10,00NTRFA/B", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '230101D10,00NTRFA/B': does not match expected format"},
    {"CarriageReturnAfterBank", "230101D10,00NTRFX//B1\r\nmore", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '230101D10,00NTRFX//B1\r': does not match expected format"},
    {"BadMonthAndBadAmountText", "231301D10,00ntrfX", ParseErrorKind::InvalidFormat,
     "Invalid format in tag :61:: '231301D10,00ntrfX': does not match expected format"},
    // The value date.
    {"ValueDateMonth13", "231301D10,00NTRFX", ParseErrorKind::InvalidDate,
     "Invalid date '231301' in tag (date field)"},
    {"ValueDateUnicodeDigits", arabic_indic("230101") + "D10,00NTRFX", ParseErrorKind::InvalidDate,
     "Invalid date '" + arabic_indic("230101") + "' in tag (date field)"},
    {"BadDateBeforeBadAmount", "231301D" + arabic_indic("1") + ",NTRFX",
     ParseErrorKind::InvalidDate, "Invalid date '231301' in tag (date field)"},
    // The amount.
    {"AmountUnicodeDigits", "230101D" + arabic_indic("1") + "," + arabic_indic("50") + "NTRFX",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '" + arabic_indic("1") + "," + arabic_indic("50") + "' in tag (amount field)"},
};

class ErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, FailsWithMessage) {
  const ErrorCase& c = GetParam();
  Result<TransactionRecord> r = parse_statement_line(c.value);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, c.kind);
  EXPECT_EQ(r.error().message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(StatementLine, ErrorTest, testing::ValuesIn(kErrors),
                         [](const auto& p) { return std::string(p.param.name); });

// The scan against std::regex, a backtracking engine, on ASCII lines (where
// \d is [0-9]). The lines are assembled from pieces near each boundary of
// the pattern, so most of them fail at one element or another.
TEST(MatchStatementLineTest, AgreesWithBacktrackingRegex) {
  const std::regex reference(
      R"(^([0-9]{6})([0-9]{4})?(RD|RC|D|C)([A-Z])?([0-9]{1,15},[0-9]{0,2})([NF][A-Za-z0-9]{3})([^/]*?)(?://([^\r\n]*))?$)");
  const char* const kMarks[] = {"D", "C", "RD", "RC", "D", "C", "R", "d", "", "X"};
  const char* const kFunds[] = {"", "", "N", "R", "D", "n", "1"};
  const char* const kSeparators[] = {",", ",", ",", ".", ""};
  const char* const kTypes[] = {"NTRF", "FMSC", "N1a2", "F000", "NMSC",
                                 "ntrf", "NTR",  "XTRF", "N_AB", ""};
  const char kRestChars[] = {'A', ' ', '/', '/', '\r', '\n', '1', 'x', ','};

  std::mt19937 rng(61);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  auto digits_exactly = [&](size_t n) {
    std::string out(n, '0');
    for (char& c : out) c = static_cast<char>('0' + pick(10));
    return out;
  };
  auto digits = [&](size_t max) { return digits_exactly(pick(max + 1)); };

  int matched = 0;
  for (int i = 0; i < 4000; ++i) {
    // Mostly a plausible date part, sometimes any count of digits.
    const size_t kDateDigits[] = {6, 6, 10, 10};
    std::string line = pick(3) == 0 ? digits(12) : digits_exactly(kDateDigits[pick(4)]);
    line += kMarks[pick(std::size(kMarks))];
    line += kFunds[pick(std::size(kFunds))];
    line += digits(17);
    line += kSeparators[pick(std::size(kSeparators))];
    line += digits(3);
    line += kTypes[pick(std::size(kTypes))];
    for (size_t n = pick(8); n > 0; --n) line += kRestChars[pick(std::size(kRestChars))];

    std::smatch want;
    bool want_match = std::regex_search(line, want, reference);
    std::optional<StatementLineMatch> got = match_statement_line(line);
    ASSERT_EQ(got.has_value(), want_match) << testing::PrintToString(line);
    if (!want_match) continue;
    ++matched;
    auto group = [&](int g) { return want[g].matched ? Group(want[g].str()) : kAbsent; };
    EXPECT_EQ(Group(got->value_date), group(1));
    EXPECT_EQ(got->entry_date, group(2));
    EXPECT_EQ(Group(got->mark), group(3));
    EXPECT_EQ(got->funds_code, group(4));
    EXPECT_EQ(Group(got->amount), group(5));
    EXPECT_EQ(Group(got->transaction_type), group(6));
    EXPECT_EQ(Group(got->customer_reference), group(7));
    EXPECT_EQ(got->bank_reference, group(8)) << testing::PrintToString(line);
  }
  // The generator must reach the accepting paths too, or the check is idle.
  EXPECT_GT(matched, 100);
}

TEST(UnicodeDigitTest, CategoryNd) {
  for (char32_t cp : {U'0', U'9', U'\u0660', U'\u0669', U'\u06F0', U'\u0BE6', U'\uFF10',
                      U'\uFF19', U'\U0001D7CE', U'\U0001D7FF', U'\U0001FBF0', U'\U0001FBF9'}) {
    EXPECT_TRUE(is_unicode_decimal_digit(cp)) << static_cast<uint32_t>(cp);
  }
  for (char32_t cp : {U'/', U':', U'a', U'\u00B2', U'\u00BD', U'\u065F', U'\u066A', U'\u2160',
                      U'\uFF1A', U'\U0001D7CD', U'\U0001D800', U'\U0001FBFA', U'\U0010FFFF',
                      char32_t{0x110000}, char32_t{0xFFFFFFFF}}) {
    EXPECT_FALSE(is_unicode_decimal_digit(cp)) << static_cast<uint32_t>(cp);
  }
  int count = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) count += is_unicode_decimal_digit(cp) ? 1 : 0;
  EXPECT_EQ(count, 680);  // Unicode 15.0
}

}  // namespace
}  // namespace vardel
