// YYMMDD dates: accepted forms, the century rule, calendar validity.
#include "core/date.hpp"

#include <gtest/gtest.h>

namespace vardel {
namespace {

struct ValidCase {
  const char* name;
  const char* text;
  const char* want;  // ISO form
};

const ValidCase kValid[] = {
    {"Plain", "240101", "2024-01-01"},
    {"LastOfCentury19", "991231", "1999-12-31"},
    {"FirstOf1980", "800101", "1980-01-01"},
    {"Last2079", "791231", "2079-12-31"},
    {"LeapDay2000", "000229", "2000-02-29"},
};

class ValidDateTest : public testing::TestWithParam<ValidCase> {};

TEST_P(ValidDateTest, Parses) {
  Result<Date> d = parse_date(GetParam().text);
  ASSERT_TRUE(d) << d.error().message();
  EXPECT_EQ(d->to_iso_string(), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Dates, ValidDateTest, testing::ValuesIn(kValid),
                         [](const auto& p) { return std::string(p.param.name); });

struct InvalidCase {
  const char* name;
  const char* text;
};

const InvalidCase kInvalid[] = {
    {"NotLeap", "230229"},
    {"Feb30", "240230"},
    {"MonthZero", "240001"},
    {"DayZero", "240100"},
    {"Month13", "241301"},
    {"April31", "240431"},
    {"MinusMonth", "24-101"},
    {"MinusDay", "2401-1"},
    {"Letter", "24011A"},
    {"Space", "24 101"},
    {"TwoSigns", "+-0101"},
    // Six ASCII digits and nothing else: a sign read as part of a number
    // would give another date ("-40101" as 1996-01-01).
    {"PlusYear", "+40101"},
    {"MinusYear", "-40101"},
    {"MinusZeroYear", "-00101"},
    {"PlusMonth", "24+101"},
    {"PlusDay", "2401+1"},
    {"Short", "24010"},
    {"Long", "2401011"},
    {"Empty", ""},
    {"ArabicIndicDigits", "\xD9\xA2\xD9\xA4\xD9\xA0\xD9\xA1\xD9\xA0\xD9\xA1"},
    {"MultiByteAtCut", "2\xC3\xA9" "101"},
};

class InvalidDateTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidDateTest, QuotesWholeText) {
  const char* text = GetParam().text;
  Result<Date> d = parse_date(text);
  ASSERT_FALSE(d);
  EXPECT_EQ(d.error().message(),
            std::string("Invalid date '") + text + "' in tag (date field)");
}

INSTANTIATE_TEST_SUITE_P(Dates, InvalidDateTest, testing::ValuesIn(kInvalid),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DateTest, FromYmdChecksCalendar) {
  EXPECT_TRUE(Date::from_ymd(2024, 2, 29));
  EXPECT_FALSE(Date::from_ymd(2100, 2, 29));
  EXPECT_TRUE(Date::from_ymd(2000, 2, 29));
  EXPECT_FALSE(Date::from_ymd(2024, 0, 1));
  EXPECT_FALSE(Date::from_ymd(2024, 12, 32));
}

}  // namespace
}  // namespace vardel
