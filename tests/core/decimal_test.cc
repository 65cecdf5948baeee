// Decimal numbers and MT940 amounts: the plain and scientific grammars, the
// 28-digit and 96-bit capacity rules, printing, conversion to double, and
// parse_amount with its error messages.
#include "core/decimal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace vardel {
namespace {

using Magnitude = Decimal::Magnitude;

// Magnitudes are written as decimal digit strings in the tables: most of the
// interesting ones do not fit in 64 bits.
Magnitude digits(std::string_view s) {
  Magnitude m = 0;
  for (char c : s) m = m * 10 + static_cast<unsigned>(c - '0');
  return m;
}

std::string describe(const Decimal& d) {
  return d.to_string() + " (scale " + std::to_string(d.scale) + (d.negative ? ", negative)" : ")");
}

// ---------------------------------------------------------------------------
// parse_amount: accepted texts.

struct AmountCase {
  const char* name;
  std::string_view text;  // as the field holds it
  std::string_view joined;  // the text handed to the Decimal parsers
  const char* magnitude;
  uint8_t scale;
  bool negative;
  const char* plain;  // to_string
  const char* fixed;  // to_string_fixed(2)
  double value;       // decimal_to_float
};

const AmountCase kAmounts[] = {
    // Ordinary statement amounts.
    {"Plain", "1234,56", "1234.56", "123456", 2, false, "1234.56", "1234.56", 1234.56},
    {"OneFractionDigit", "1234,5", "1234.50", "123450", 2, false, "1234.50", "1234.50", 1234.5},
    {"NoComma", "1234", "1234.00", "123400", 2, false, "1234.00", "1234.00", 1234.0},
    {"ThreeFractionDigits", "1234,567", "1234.567", "1234567", 3, false, "1234.567", "1234.56",
     1234.567},
    {"NoIntegerDigits", ",5", "0.50", "50", 2, false, "0.50", "0.50", 0.5},
    {"LeadingZeros", "0007", "7.00", "700", 2, false, "7.00", "7.00", 7.0},
    {"Zero", "0,00", "0.00", "0", 2, false, "0.00", "0.00", 0.0},
    {"Empty", "", "0.00", "0", 2, false, "0.00", "0.00", 0.0},
    // Signs.
    {"MinusNoIntegerDigits", "-,5", "-.50", "50", 2, true, "-0.50", "-0.50", -0.5},
    {"LoneMinus", "-", "-.00", "0", 2, false, "0.00", "0.00", 0.0},
    {"MinusZero", "-0", "-0.00", "0", 2, false, "0.00", "0.00", 0.0},
    {"Plus", "+5", "+5.00", "500", 2, false, "5.00", "5.00", 5.0},
    {"SignAfterLeadingZeros", "0-5", "-5.00", "500", 2, true, "-5.00", "-5.00", -5.0},
    // Separators: the first piece is the integer, the second the fraction.
    {"PointThenComma", "1.234,56", "1.234", "1234", 3, false, "1.234", "1.23", 1.234},
    {"ThreePieces", "1,2,3", "1.20", "120", 2, false, "1.20", "1.20", 1.2},
    {"EmptySecondPiece", "1,,5", "1.00", "100", 2, false, "1.00", "1.00", 1.0},
    {"UnderscoreInInteger", "1_000,5", "1_000.50", "100050", 2, false, "1000.50", "1000.50",
     1000.5},
    {"UnderscoreAfterComma", "1,_5", "1._5", "15", 1, false, "1.5", "1.50", 1.5},
    // Exponents inside the fraction piece.
    {"Exponent", "1,5e3", "1.5e3", "1500", 0, false, "1500", "1500.00", 1500.0},
    {"NegativeExponent", "1,5E-3", "1.5E-3", "15", 4, false, "0.0015", "0.00", 0.0015},
    {"ExponentKeepsTrailingZero", "2,50e1", "2.50e1", "250", 1, false, "25.0", "25.00", 25.0},
    {"PaddedExponent", "1,e", "1.e0", "1", 0, false, "1", "1.00", 1.0},
    {"ExponentWithoutFractionDigits", "5,e3", "5.e3", "5000", 0, false, "5000", "5000.00",
     5000.0},
    {"ExponentRoundsToScale28", "1,5e-28", "1.5e-28", "2", 28, false,
     "0.0000000000000000000000000002", "0.00", 2e-28},
    {"ExponentLeavesNegativeZero", "-0,40e-28", "-0.40e-28", "0", 28, true,
     "-0.0000000000000000000000000000", "-0.00", -0.0},
    // Capacity.
    {"TwentyNineFractionDigits", "0,12345678901234567890123456789",
     "0.12345678901234567890123456789", "1234567890123456789012345679", 28, false,
     "0.1234567890123456789012345679", "0.12", 0.12345678901234568},
    {"LargestMagnitude", "79228162514264337593543950335,4", "79228162514264337593543950335.40",
     "79228162514264337593543950335", 0, false, "79228162514264337593543950335",
     "79228162514264337593543950335.00", 7.922816251426434e+28},
};

class AmountTest : public testing::TestWithParam<AmountCase> {};

TEST_P(AmountTest, ParsesPrintsAndConverts) {
  const AmountCase& c = GetParam();
  Result<Decimal> d = parse_amount(c.text);
  ASSERT_TRUE(d) << d.error().message();
  EXPECT_EQ(d->magnitude, digits(c.magnitude)) << describe(*d);
  EXPECT_EQ(d->scale, c.scale);
  EXPECT_EQ(d->negative, c.negative);
  EXPECT_EQ(d->to_string(), c.plain);
  EXPECT_EQ(d->to_string_fixed(2), c.fixed);
  double f = decimal_to_float(*d);
  EXPECT_EQ(f, c.value);
  EXPECT_EQ(std::signbit(f), std::signbit(c.value));
}

// The joined text gives the same value through the Decimal parsers directly.
TEST_P(AmountTest, JoinedTextGivesSameValue) {
  const AmountCase& c = GetParam();
  std::optional<Decimal> d = Decimal::parse(c.joined);
  if (!d) d = Decimal::parse_scientific(c.joined);
  ASSERT_TRUE(d);
  Result<Decimal> amount = parse_amount(c.text);
  ASSERT_TRUE(amount);
  EXPECT_EQ(*d, *amount);
}

INSTANTIATE_TEST_SUITE_P(Amounts, AmountTest, testing::ValuesIn(kAmounts),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// parse_amount: rejected texts, quoted unchanged in the message.

struct BadAmountCase {
  const char* name;
  std::string_view text;
};

const BadAmountCase kBadAmounts[] = {
    {"ExponentInIntegerPiece", "1e3"},
    {"TrailingSpace", "12,00 "},
    {"TrailingSignAndBrace", "1234,56-}"},
    {"UnderscoreAfterLeadingZero", "0_1"},
    {"UnderscoreAfterPointNoDigit", "-,_5"},
    {"ExponentAbove28", "1,5e29"},
    {"TwoMinusInExponent", "1,5e--2"},
    {"NothingAfterExponentMark", "1,5e"},
    {"RoundsTo2To96WithScale0", "79228162514264337593543950335,5"},
    {"IntegerReaches2To96", "79228162514264337593543950336"},
    {"ArabicIndicThree", "\xD9\xA3,00"},
    {"FullwidthDigit", "1\xEF\xBC\x91,00"},
    {"Letter", "12,3x"},
    {"QuoteInText", "1'5"},
    {"EmbeddedNul", std::string_view("1\0,5", 4)},
};

class BadAmountTest : public testing::TestWithParam<BadAmountCase> {};

TEST_P(BadAmountTest, QuotesTextAsReceived) {
  std::string_view text = GetParam().text;
  Result<Decimal> d = parse_amount(text);
  ASSERT_FALSE(d) << describe(*d);
  EXPECT_EQ(d.error().kind, ParseErrorKind::InvalidAmount);
  EXPECT_EQ(d.error().message(),
            "Invalid amount '" + std::string(text) + "' in tag (amount field)");
}

INSTANTIATE_TEST_SUITE_P(Amounts, BadAmountTest, testing::ValuesIn(kBadAmounts),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(AmountTest, LongTextsAreParsedWhole) {
  // Longer than any inline buffer the reader might use.
  std::string spaced = "1" + std::string(300, '_') + ",5";
  Result<Decimal> d = parse_amount(spaced);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->to_string(), "1.50");

  std::string zeros = std::string(300, '0') + "42,1";
  d = parse_amount(zeros);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->to_string(), "42.10");

  std::string bad = std::string(300, '9') + ",00";
  d = parse_amount(bad);
  ASSERT_FALSE(d);
  EXPECT_EQ(d.error().value, bad);
}

// ---------------------------------------------------------------------------
// Decimal::parse and Decimal::parse_scientific: accepted texts.

struct GrammarCase {
  const char* name;
  std::string_view text;
  const char* magnitude;
  uint8_t scale;
  bool negative;
};

const GrammarCase kPlain[] = {
    // Start of the number.
    {"PointFirst", ".5", "5", 1, false},
    {"MinusPointFirst", "-.5", "5", 1, true},
    {"PointLast", "5.", "5", 0, false},
    {"PlusSign", "+7", "7", 0, false},
    {"NegativeZeroIsPositive", "-0.00", "0", 2, false},
    // '_' is skipped inside the digits.
    {"UnderscoreEverywhere", "1_2._3_", "123", 1, false},
    {"UnderscoresAtEnd", "1.5___", "15", 1, false},
    {"UnderscoreBeforePoint", "1_.5", "15", 1, false},
    // Scale limit: after the 28th fraction digit the next byte rounds.
    {"Exactly28FractionDigits", "0.1234567890123456789012345678",
     "1234567890123456789012345678", 28, false},
    {"TwentyNinthDigitRoundsUp", "0.12345678901234567890123456785",
     "1234567890123456789012345679", 28, false},
    {"TwentyNinthDigitRoundsDown", "0.12345678901234567890123456784",
     "1234567890123456789012345678", 28, false},
    {"RestAfterRoundingDigitIgnored", "0.12345678901234567890123456789xyz.-",
     "1234567890123456789012345679", 28, false},
    {"RestAfterRoundingDigitIgnoredNegative", "-0.12345678901234567890123456781e5",
     "1234567890123456789012345678", 28, true},
    // A '_' after the 28th digit: a rounding character for a small magnitude,
    // skipped for a large one.
    {"UnderscoreRoundsSmallMagnitude", "0.0000000000000000000000000001_x", "1", 28, false},
    {"UnderscoreAtThresholdRounds", "0.0000000018446744073709549050_x",
     "18446744073709549050", 28, false},
    {"UnderscoreSkippedThenDigitRounds", "0.1234567890123456789012345678__7",
     "1234567890123456789012345679", 28, false},
    {"OnlyUnderscoresLeft", "0.1234567890123456789012345678___",
     "1234567890123456789012345678", 28, false},
    // Width limit: a digit that would reach 2^96 only rounds.
    {"LargestInteger", "79228162514264337593543950335", "79228162514264337593543950335", 0,
     false},
    {"WidthLimitRoundsDown", "79228162514264337593543950335.4x",
     "79228162514264337593543950335", 0, false},
    {"WidthLimitKeepsScale", "7922816251426433759354395033.54",
     "79228162514264337593543950335", 1, false},
    {"WidthLimitRoundingOverflowDropsScale", "7922816251426433759354395033.55",
     "7922816251426433759354395034", 0, false},
    {"ScaleLimitRoundingOverflowDropsScale", "-7.92281625142643375935439503355",
     "7922816251426433759354395034", 27, true},
};

class PlainParseTest : public testing::TestWithParam<GrammarCase> {};

TEST_P(PlainParseTest, Parses) {
  const GrammarCase& c = GetParam();
  std::optional<Decimal> d = Decimal::parse(c.text);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->magnitude, digits(c.magnitude)) << describe(*d);
  EXPECT_EQ(d->scale, c.scale);
  EXPECT_EQ(d->negative, c.negative);
}

INSTANTIATE_TEST_SUITE_P(Decimals, PlainParseTest, testing::ValuesIn(kPlain),
                         [](const auto& p) { return std::string(p.param.name); });

const GrammarCase kScientific[] = {
    {"PositiveExponent", "1e3", "1000", 0, false},
    {"CapitalE", "1.5E-3", "15", 4, false},
    {"ExplicitPlus", "1e+3", "1000", 0, false},
    {"MinusPlus", "1e-+3", "1", 3, false},
    {"LeadingZerosInExponent", "1e00000000000000000000000003", "1000", 0, false},
    {"ZeroExponent", "1.e0", "1", 0, false},
    {"NegativeZeroExponent", "2.5e-0", "25", 1, false},
    {"ExponentBelowScale", "2.50e1", "250", 1, false},
    {"ExponentEqualsScale", "2.50e2", "250", 0, false},
    {"SignOfBaseKept", "-1.5e2", "150", 0, true},
    {"ZeroBaseLargeExponent", "-0.0e5", "0", 0, false},
    {"Exponent28", "7e28", "70000000000000000000000000000", 0, false},
    {"NegativeExponent28", "-1e-28", "1", 28, true},
    {"LargestShiftedDown", "79228162514264337593543950335e-28", "79228162514264337593543950335",
     28, false},
    // Past scale 28 the digits are cut back, rounding half away from zero.
    {"CutRoundsUp", "1.5e-28", "2", 28, false},
    {"CutRoundsDown", "1.25e-28", "1", 28, false},
    {"CutHalfUpOnFirstDroppedDigit", "1.25e-27", "13", 28, false},
    {"CutNegativeRoundsAwayFromZero", "-9.5e-28", "10", 28, true},
    {"CutToNegativeZero", "-0.40e-28", "0", 28, true},
    {"CutToPositiveZero", "0.0000000000000000000000000001e-1", "0", 28, false},
};

class ScientificParseTest : public testing::TestWithParam<GrammarCase> {};

TEST_P(ScientificParseTest, Parses) {
  const GrammarCase& c = GetParam();
  std::optional<Decimal> d = Decimal::parse_scientific(c.text);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->magnitude, digits(c.magnitude)) << describe(*d);
  EXPECT_EQ(d->scale, c.scale);
  EXPECT_EQ(d->negative, c.negative);
}

INSTANTIATE_TEST_SUITE_P(Decimals, ScientificParseTest, testing::ValuesIn(kScientific),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Decimal::parse and Decimal::parse_scientific: rejected texts.

struct RejectCase {
  const char* name;
  std::string_view text;
};

const RejectCase kPlainRejects[] = {
    {"Empty", ""},
    {"LonePlus", "+"},
    {"LoneMinus", "-"},
    {"LonePoint", "."},
    {"SignPoint", "-."},
    {"PointUnderscore", "._5"},
    {"LeadingUnderscore", "_5"},
    {"SignUnderscore", "-_5"},
    {"TwoSigns", "+-1"},
    {"SignAfterDigits", "1-"},
    {"SecondPoint", "1.2.3"},
    {"Exponent", "1.2e3"},
    {"Space", "1 "},
    {"Comma", "1,5"},
    {"NonAsciiDigit", "\xD9\xA3"},
    {"IntegerReaches2To96", "79228162514264337593543950336"},
    {"LongIntegerOverflow", "123456789012345678901234567890123456789012345678901234567890"},
    {"LetterAfter28FractionDigits", "0.1234567890123456789012345678x"},
    {"PointAfter28FractionDigits", "0.1234567890123456789012345678.5"},
    {"LetterAfterSkippedUnderscores", "0.1234567890123456789012345678__x"},
    {"UnderscoreAboveThresholdThenLetter", "0.0000000018446744073709549060_x"},
    {"LetterAtWidthLimit", "7922816251426433759354395033.5x"},
    {"WidthLimitOverflowScale0", "79228162514264337593543950335.5"},
};

class PlainRejectTest : public testing::TestWithParam<RejectCase> {};

TEST_P(PlainRejectTest, Fails) {
  std::optional<Decimal> d = Decimal::parse(GetParam().text);
  EXPECT_FALSE(d) << describe(*d);
}

INSTANTIATE_TEST_SUITE_P(Decimals, PlainRejectTest, testing::ValuesIn(kPlainRejects),
                         [](const auto& p) { return std::string(p.param.name); });

const RejectCase kScientificRejects[] = {
    {"NoExponentMark", "15"},
    {"NothingAfterMark", "1e"},
    {"LoneMark", "e"},
    {"NoBase", "e3"},
    {"LoneSignBase", "+e3"},
    {"LoneMinusExponent", "1e-"},
    {"LonePlusExponent", "1e+"},
    {"LoneMinusPlusExponent", "1e-+"},
    {"TwoMinus", "1e--3"},
    {"PlusMinus", "1e+-3"},
    {"Exponent29", "1e29"},
    {"NegativeExponent29", "1e-29"},
    {"LongExponent", "1e123456789012345678901234567890"},
    {"PointInExponent", "1e3.0"},
    {"SpaceInExponent", "1e 3"},
    {"TrailingSpace", "1e3 "},
    {"SecondMark", "1e3e4"},
    {"BadBase", "1.5xe3"},
    {"ShiftReaches2To96", "8e28"},
    {"LargestShiftedUp", "79228162514264337593543950335e1"},
    {"LargeBaseLargeExponent", "79228162514264337593543950335e28"},
};

class ScientificRejectTest : public testing::TestWithParam<RejectCase> {};

TEST_P(ScientificRejectTest, Fails) {
  std::optional<Decimal> d = Decimal::parse_scientific(GetParam().text);
  EXPECT_FALSE(d) << describe(*d);
}

INSTANTIATE_TEST_SUITE_P(Decimals, ScientificRejectTest, testing::ValuesIn(kScientificRejects),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Printing and conversion of values the parsers do not produce directly.

struct PrintCase {
  const char* name;
  const char* magnitude;
  uint8_t scale;
  bool negative;
  const char* plain;
  const char* fixed2;
  const char* fixed0;
  double value;
};

const PrintCase kPrints[] = {
    {"Zero", "0", 0, false, "0", "0.00", "0", 0.0},
    {"NegativeZero", "0", 0, true, "-0", "-0.00", "-0", -0.0},
    {"NegativeZeroScale2", "0", 2, true, "-0.00", "-0.00", "-0", -0.0},
    {"SmallFraction", "5", 3, false, "0.005", "0.00", "0", 0.005},
    {"CutNotRoundedPositive", "1239", 3, false, "1.239", "1.23", "1", 1.239},
    {"CutNotRoundedNegative", "1239", 3, true, "-1.239", "-1.23", "-1", -1.239},
    {"CutToNegativeZero", "9", 3, true, "-0.009", "-0.00", "-0", -0.009},
    {"ShortFractionPadded", "15", 1, false, "1.5", "1.50", "1", 1.5},
    {"Integer", "1500", 0, false, "1500", "1500.00", "1500", 1500.0},
    {"LargestScale28", "79228162514264337593543950335", 28, false,
     "7.9228162514264337593543950335", "7.92", "7", 7.9228162514264335},
    {"LargestNegative", "79228162514264337593543950335", 0, true,
     "-79228162514264337593543950335", "-79228162514264337593543950335.00",
     "-79228162514264337593543950335", -7.922816251426434e+28},
    {"SmallestPositive", "1", 28, false, "0.0000000000000000000000000001", "0.00", "0", 1e-28},
    // Halfway between two doubles: the even one is taken.
    {"TieToEvenDown", "9007199254740993", 0, false, "9007199254740993", "9007199254740993.00",
     "9007199254740993", 9007199254740992.0},
    {"TieToEvenUp", "9007199254740995", 0, false, "9007199254740995", "9007199254740995.00",
     "9007199254740995", 9007199254740996.0},
    {"JustAboveTie", "900719925474099300000000001", 11, false, "9007199254740993.00000000001",
     "9007199254740993.00", "9007199254740993", 9007199254740994.0},
};

class PrintTest : public testing::TestWithParam<PrintCase> {
 protected:
  Decimal value() const {
    const PrintCase& c = GetParam();
    return Decimal{digits(c.magnitude), c.scale, c.negative};
  }
};

TEST_P(PrintTest, Texts) {
  const PrintCase& c = GetParam();
  Decimal d = value();
  EXPECT_EQ(d.to_string(), c.plain);
  EXPECT_EQ(d.to_string_fixed(2), c.fixed2);
  EXPECT_EQ(d.to_string_fixed(0), c.fixed0);
}

TEST_P(PrintTest, AppendsAfterExistingText) {
  const PrintCase& c = GetParam();
  Decimal d = value();
  std::string out = "x;";
  d.append_to(out);
  out += ';';
  d.append_fixed(out, 2);
  EXPECT_EQ(out, std::string("x;") + c.plain + ";" + c.fixed2);
}

TEST_P(PrintTest, Float) {
  const PrintCase& c = GetParam();
  double f = decimal_to_float(value());
  EXPECT_EQ(f, c.value);
  EXPECT_EQ(std::signbit(f), std::signbit(c.value));
}

INSTANTIATE_TEST_SUITE_P(Decimals, PrintTest, testing::ValuesIn(kPrints),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DecimalTest, FixedPadsBeyondStoredDigits) {
  Decimal d{digits("1234567"), 3, false};
  EXPECT_EQ(d.to_string_fixed(5), "1234.56700");
  EXPECT_EQ(d.to_string_fixed(1), "1234.5");
}

// Every stored fraction digit, zeros added up to the minimum: the exact value.
TEST(DecimalTest, PaddedKeepsEveryDigit) {
  const struct {
    Decimal d;
    const char* want;
  } cases[] = {
      {Decimal{7, 0, false}, "7.00"},
      {Decimal{15, 1, true}, "-1.50"},
      {Decimal{99999, 3, false}, "99.999"},
      {Decimal{10500, 3, false}, "10.500"},
      {Decimal{0, 2, true}, "-0.00"},
      {Decimal{1, 28, false}, "0.0000000000000000000000000001"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    c.d.append_padded(out, 2);
    EXPECT_EQ(out, std::string("x") + c.want);
  }
}

TEST(DecimalTest, NegateFlipsOnlyTheSign) {
  Result<Decimal> zero = parse_amount("0,00");
  ASSERT_TRUE(zero);
  Decimal negated = zero->negate();
  EXPECT_EQ(negated.magnitude, 0u);
  EXPECT_EQ(negated.scale, 2);
  EXPECT_TRUE(negated.negative);
  EXPECT_EQ(negated.to_string_fixed(2), "-0.00");
  EXPECT_TRUE(std::signbit(decimal_to_float(negated)));
  EXPECT_EQ(negated.negate(), *zero);
}

// Every parser must stay inside the view it is given: a number cut off just
// before a plausible tail parses as the cut text, not as the whole buffer.
TEST(DecimalTest, ReadsOnlyInsideTheView) {
  const std::string buffer = "0.1234567890123456789012345678_9e5";
  // Up to and including the '_': only '_' left after the 28th digit.
  std::optional<Decimal> d = Decimal::parse(std::string_view(buffer.data(), 31));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->magnitude, digits("1234567890123456789012345678"));
  // Up to and including the 'e': nothing follows the mark inside the view.
  EXPECT_FALSE(Decimal::parse_scientific(std::string_view(buffer.data(), buffer.find('e') + 1)));
  // A view that ends right after the point ("0.").
  d = Decimal::parse(std::string_view(buffer.data(), 2));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->to_string(), "0");
  EXPECT_FALSE(Decimal::parse(std::string_view(buffer.data(), 0)));
  // A view ending on the sign or the point of a longer text.
  const std::string signed_text = "-.5";
  EXPECT_FALSE(Decimal::parse(std::string_view(signed_text.data(), 1)));
  EXPECT_FALSE(Decimal::parse(std::string_view(signed_text.data(), 2)));
  const std::string amount_text = "1,5e3";
  Result<Decimal> amount = parse_amount(std::string_view(amount_text.data(), 4));
  ASSERT_FALSE(amount);
  EXPECT_EQ(amount.error().value, "1,5e");
}

}  // namespace
}  // namespace vardel
