// Messages of every ParseError variant, exactly as Python code sees them.
#include "core/parse_error.hpp"

#include <ostream>

#include <gtest/gtest.h>

namespace vardel {
namespace {

struct Case {
  const char* name;
  ParseError error;
  const char* want;
};

// GoogleTest prints a case by its name, not byte by byte.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"NoData", ParseError::no_data(), "Input contains no MT940 data"},
    {"MissingTag", ParseError::missing_mandatory_tag(":25:", "STMT-1"),
     "Missing mandatory tag :25: (STMT-1)"},
    {"MissingTagEmptyReference", ParseError::missing_mandatory_tag(":25:", ""),
     "Missing mandatory tag :25: ()"},
    {"InvalidDate", ParseError::invalid_date("240230", kDateFieldTag),
     "Invalid date '240230' in tag (date field)"},
    {"InvalidAmountKeepsCommas", ParseError::invalid_amount("1,5x", kAmountFieldTag),
     "Invalid amount '1,5x' in tag (amount field)"},
    {"BalanceTooShort", ParseError::invalid_format(kBalanceTag, "C240101", kReasonTooShort),
     "Invalid format in tag balance: 'C240101': too short"},
    {"BalanceBadMark",
     ParseError::invalid_format(kBalanceTag, "X240101EUR5,00", kReasonBadMark),
     "Invalid format in tag balance: 'X240101EUR5,00': invalid D/C mark"},
    {"StatementLine", ParseError::invalid_format(kStatementLineTag, "XYZ", kReasonNoMatch),
     "Invalid format in tag :61:: 'XYZ': does not match expected format"},
    {"QuotesAndControlsVerbatim",
     ParseError::invalid_amount("it's\r\n\xC3\xA9", kAmountFieldTag),
     "Invalid amount 'it's\r\n\xC3\xA9' in tag (amount field)"},
};

class MessageTest : public testing::TestWithParam<Case> {};

TEST_P(MessageTest, MatchesTemplate) {
  const Case& c = GetParam();
  EXPECT_EQ(c.error.message(), c.want);
  std::string appended = "prefix:";
  c.error.message(appended);
  EXPECT_EQ(appended, std::string("prefix:") + c.want);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, MessageTest, testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vardel
