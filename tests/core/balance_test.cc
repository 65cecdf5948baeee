// Balance values: the fixed byte layout, the order of the checks, the plain
// amount and date forms, and cuts that fall inside multi-byte characters.
#include "core/balance.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vardel {
namespace {

struct ValidCase {
  const char* name;
  const char* value;
  DebitCreditMark mark;
  const char* date;      // ISO form
  const char* currency;  // the three bytes after the date
  const char* amount;    // Decimal::to_string
};

void PrintTo(const ValidCase& c, std::ostream* os) { *os << c.name; }

const ValidCase kValid[] = {
    {"Credit", "C240101EUR1234,56", DebitCreditMark::Credit, "2024-01-01", "EUR", "1234.56"},
    {"DebitZero", "D991231USD0,00", DebitCreditMark::Debit, "1999-12-31", "USD", "0.00"},
    {"ShortestValue", "C240101EUR5", DebitCreditMark::Credit, "2024-01-01", "EUR", "5.00"},
    // Century rule and calendar.
    {"First1980", "C800101EUR1", DebitCreditMark::Credit, "1980-01-01", "EUR", "1.00"},
    {"Last2079", "C791231EUR1", DebitCreditMark::Credit, "2079-12-31", "EUR", "1.00"},
    {"LeapDay2000", "C000229EUR1", DebitCreditMark::Credit, "2000-02-29", "EUR", "1.00"},
    // Any three bytes are the currency.
    {"LowerCaseCurrency", "C240101eu15", DebitCreditMark::Credit, "2024-01-01", "eu1", "5.00"},
    {"SpaceCurrency", "C240101   5", DebitCreditMark::Credit, "2024-01-01", "   ", "5.00"},
    {"EuroSignCurrency", "C240101\xE2\x82\xAC" "5", DebitCreditMark::Credit, "2024-01-01",
     "\xE2\x82\xAC", "5.00"},
    // The amount is stored unsigned; the direction is the mark's.
    {"DebitStaysPositive", "D240101EUR7,5", DebitCreditMark::Debit, "2024-01-01", "EUR", "7.50"},
    // Plain amounts: digits with at most one ',' or '.'.
    {"NoDecimalMark", "C240101EUR1234", DebitCreditMark::Credit, "2024-01-01", "EUR", "1234.00"},
    {"OnlyFraction", "C240101EUR,5", DebitCreditMark::Credit, "2024-01-01", "EUR", "0.50"},
    {"MarkLast", "C240101EUR5,", DebitCreditMark::Credit, "2024-01-01", "EUR", "5.00"},
    {"PointMark", "C240101EUR1234.5", DebitCreditMark::Credit, "2024-01-01", "EUR", "1234.50"},
    {"ThreeFractionDigits", "C240101EUR99,999", DebitCreditMark::Credit, "2024-01-01", "EUR",
     "99.999"},
    {"LeadingZeros", "C240101EUR0001,00", DebitCreditMark::Credit, "2024-01-01", "EUR", "1.00"},
    {"TwentyEightFractionDigits", "C240101EUR0,1234567890123456789012345678",
     DebitCreditMark::Credit, "2024-01-01", "EUR", "0.1234567890123456789012345678"},
    // Fraction zeros past what the decimal keeps lose nothing.
    {"ZerosPastTheScale", "C240101EUR1,50000000000000000000000000000000", DebitCreditMark::Credit,
     "2024-01-01", "EUR", "1.5000000000000000000000000000"},
    {"LargestMagnitude", "C240101EUR79228162514264337593543950335,00", DebitCreditMark::Credit,
     "2024-01-01", "EUR", "79228162514264337593543950335"},
    // Held exactly with one fraction digit, fewer than the two it is padded to.
    {"NearLimitOneFractionDigit", "C240101EUR7922816251426433759354395033,5",
     DebitCreditMark::Credit, "2024-01-01", "EUR", "7922816251426433759354395033.5"},
};

class ValidBalanceTest : public testing::TestWithParam<ValidCase> {};

TEST_P(ValidBalanceTest, Parses) {
  const ValidCase& c = GetParam();
  Result<Balance> b = parse_balance(c.value, false);
  ASSERT_TRUE(b) << b.error().message();
  EXPECT_EQ(b->debit_credit, c.mark);
  EXPECT_EQ(b->date.to_iso_string(), c.date);
  EXPECT_EQ(b->currency, c.currency);
  EXPECT_EQ(b->amount.to_string(), c.amount);
  EXPECT_FALSE(b->is_intermediate);
}

INSTANTIATE_TEST_SUITE_P(Balances, ValidBalanceTest, testing::ValuesIn(kValid),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(BalanceTest, KeepsIntermediateFlag) {
  Result<Balance> b = parse_balance("D240101EUR1,00", true);
  ASSERT_TRUE(b) << b.error().message();
  EXPECT_TRUE(b->is_intermediate);
}

struct InvalidCase {
  const char* name;
  const char* value;
  ParseErrorKind kind;
  const char* message;
};

void PrintTo(const InvalidCase& c, std::ostream* os) { *os << c.name; }

const InvalidCase kInvalid[] = {
    // Length comes first, then the mark, then the date, then the amount.
    {"Empty", "", ParseErrorKind::InvalidFormat, "Invalid format in tag balance: '': too short"},
    {"NoAmount", "C240101", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'C240101': too short"},
    {"TenBytes", "C240101EUR", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'C240101EUR': too short"},
    {"ShortWithBadMark", "X24", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'X24': too short"},
    {"BadMark", "X240101EUR5,00", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'X240101EUR5,00': invalid D/C mark"},
    {"LowerCaseMark", "c240101EUR5", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'c240101EUR5': invalid D/C mark"},
    {"ReversalMark", "RC40101EUR5", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'RC40101EUR5': invalid D/C mark"},
    {"BadMarkAndBadDate", "X24011AEUR5", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'X24011AEUR5': invalid D/C mark"},
    {"DateLetter", "C24011AEUR5,00", ParseErrorKind::InvalidDate,
     "Invalid date '24011A' in tag (date field)"},
    {"NotLeapYear", "C230229EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '230229' in tag (date field)"},
    {"MinusMonth", "C24-101EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '24-101' in tag (date field)"},
    // A date is six ASCII digits: a sign would make another date of it.
    {"MinusYear", "C-40101EUR1,00", ParseErrorKind::InvalidDate,
     "Invalid date '-40101' in tag (date field)"},
    {"PlusYear", "C+40101EUR1,00", ParseErrorKind::InvalidDate,
     "Invalid date '+40101' in tag (date field)"},
    {"PlusDay", "C2401+1EUR1,00", ParseErrorKind::InvalidDate,
     "Invalid date '2401+1' in tag (date field)"},
    {"MonthZero", "C240001EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '240001' in tag (date field)"},
    {"DayZero", "C240100EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '240100' in tag (date field)"},
    {"Month13", "C241301EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '241301' in tag (date field)"},
    {"April31", "C240431EUR1", ParseErrorKind::InvalidDate,
     "Invalid date '240431' in tag (date field)"},
    {"BadDateAndBadAmount", "C240230EURx", ParseErrorKind::InvalidDate,
     "Invalid date '240230' in tag (date field)"},
    {"JoinedClosingBrace", "C240101EUR1234,56-}", ParseErrorKind::InvalidAmount,
     "Invalid amount '1234,56-}' in tag (amount field)"},
    {"TrailingSpace", "C240101EUR1234,56 ", ParseErrorKind::InvalidAmount,
     "Invalid amount '1234,56 ' in tag (amount field)"},
    {"JoinedLine", "C240101EUR1,00\n-}", ParseErrorKind::InvalidAmount,
     "Invalid amount '1,00\n-}' in tag (amount field)"},
    // Only digits and one decimal mark: nothing is read as another number.
    {"ThousandsSeparator", "C240101EUR1.000,00", ParseErrorKind::InvalidAmount,
     "Invalid amount '1.000,00' in tag (amount field)"},
    {"SecondComma", "C240101EUR100,00,99", ParseErrorKind::InvalidAmount,
     "Invalid amount '100,00,99' in tag (amount field)"},
    {"Exponent", "C240101EUR1,5e3", ParseErrorKind::InvalidAmount,
     "Invalid amount '1,5e3' in tag (amount field)"},
    {"MinusSign", "C240101EUR-5,00", ParseErrorKind::InvalidAmount,
     "Invalid amount '-5,00' in tag (amount field)"},
    {"PlusSign", "C240101EUR+5", ParseErrorKind::InvalidAmount,
     "Invalid amount '+5' in tag (amount field)"},
    {"Underscore", "C240101EUR1_000,00", ParseErrorKind::InvalidAmount,
     "Invalid amount '1_000,00' in tag (amount field)"},
    {"MinusInside", "C240101EUR0-5", ParseErrorKind::InvalidAmount,
     "Invalid amount '0-5' in tag (amount field)"},
    {"MarkAlone", "C240101EUR,", ParseErrorKind::InvalidAmount,
     "Invalid amount ',' in tag (amount field)"},
    {"UnicodeDigits", "C240101EUR\xD9\xA5", ParseErrorKind::InvalidAmount,
     "Invalid amount '\xD9\xA5' in tag (amount field)"},
    // An amount the decimal cannot hold exactly is refused, not rounded.
    {"TwentyNineFractionDigits", "C240101EUR0,99999999999999999999999999999",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '0,99999999999999999999999999999' in tag (amount field)"},
    {"DigitPastTheScale", "C240101EUR1,00000000000000000000000000001",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '1,00000000000000000000000000001' in tag (amount field)"},
    {"FractionPastTheWidth", "C240101EUR79228162514264337593543950335,5",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '79228162514264337593543950335,5' in tag (amount field)"},
    {"TooLarge", "C240101EUR79228162514264337593543950336", ParseErrorKind::InvalidAmount,
     "Invalid amount '79228162514264337593543950336' in tag (amount field)"},
    {"RoundedUpToTheWidth", "C240101EUR7,92281625142643375935439503355",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '7,92281625142643375935439503355' in tag (amount field)"},
    {"TwentyEightDigitsPastTheWidth", "C240101EUR9,0000000000000000000000000001",
     ParseErrorKind::InvalidAmount,
     "Invalid amount '9,0000000000000000000000000001' in tag (amount field)"},
    // A cut at byte 7 or 10 inside a multi-byte character: the whole value
    // is quoted, so no message holds half a character.
    {"EuroSignAcrossCurrencyStart", "C24010\xE2\x82\xAC" "EU5", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'C24010\xE2\x82\xAC" "EU5': does not match expected format"},
    {"EuroSignAcrossAmountStart", "C240101EU\xE2\x82\xAC" "5", ParseErrorKind::InvalidFormat,
     "Invalid format in tag balance: 'C240101EU\xE2\x82\xAC" "5': does not match expected format"},
    {"NonAsciiAtAmountStart", "C240101EUR\xC3\xA9" "5", ParseErrorKind::InvalidAmount,
     "Invalid amount '\xC3\xA9" "5' in tag (amount field)"},
    {"NonAsciiInDate", "C2401\xC3\xA9" "EUR5", ParseErrorKind::InvalidDate,
     "Invalid date '2401\xC3\xA9' in tag (date field)"},
};

class InvalidBalanceTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidBalanceTest, FailsWithMessage) {
  const InvalidCase& c = GetParam();
  Result<Balance> b = parse_balance(c.value, false);
  ASSERT_FALSE(b);
  EXPECT_EQ(b.error().kind, c.kind);
  EXPECT_EQ(b.error().message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Balances, InvalidBalanceTest, testing::ValuesIn(kInvalid),
                         [](const auto& p) { return std::string(p.param.name); });

// A view that ends in the middle of a character must not be read past.
TEST(BalanceTest, ViewEndingInsideCharacter) {
  const std::string buffer = "C240101EUR5\xE2\x82\xAC";
  Result<Balance> b = parse_balance(std::string_view(buffer.data(), 12), false);
  ASSERT_FALSE(b);
  EXPECT_EQ(b.error().kind, ParseErrorKind::InvalidAmount);
  EXPECT_EQ(b.error().value, "5\xE2");
}

}  // namespace
}  // namespace vardel
