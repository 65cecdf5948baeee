// Tests of the statement reader: the field cursor and parse_statements.
#include "core/reader.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vardel {
namespace {

using internal::FieldCursor;
using internal::RawField;
using Fields = std::vector<std::pair<std::string, std::string>>;

// The fields of `text` as owned pairs (the cursor's views are short-lived).
Fields fields_of(std::string_view text) {
  FieldCursor cursor(text);
  RawField field;
  Fields out;
  while (cursor.next(field)) out.emplace_back(field.tag, field.value);
  return out;
}

const DecoderChain& auto_chain() {
  static const DecoderChain chain = DecoderChain::for_resolver("auto");
  return chain;
}

// "" for a successful parse, otherwise the text the caller would show.
std::string failure_message(const ParseOutcome& outcome) {
  if (outcome) return "";
  if (const auto* error = std::get_if<ParseError>(&outcome.error())) return error->message();
  return "internal: " + std::string(std::get<InternalError>(outcome.error()).message);
}

// The statements of `text`, or none (with a test failure naming the error).
std::vector<Statement> parse_ok(std::string_view text, const DecoderChain& chain = auto_chain()) {
  ParseOutcome outcome = parse_statements(text, chain);
  if (!outcome) {
    ADD_FAILURE() << "parse failed: " << failure_message(outcome);
    return {};
  }
  return std::move(outcome).value();
}

StructuredDetails detail(std::string_view text) {
  StructuredDetails map;
  map.insert_or_assign("detail", text);
  return map;
}

template <class Case>
std::string case_name(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// ---------------------------------------------------------------------------
// First pass: lines and fields.

struct FieldCase {
  const char* name;
  std::string_view text;
  Fields want;
};

const FieldCase kFieldCases[] = {
    // No field at all.
    {"Empty", "", {}},
    {"OnlyLineFeeds", "\n\n", {}},
    {"TagNotAtLineStart", "x:20:A\n \t:25:B", {}},
    {"LoneColonLine", ":ABC\n", {}},
    // Opening a field.
    {"UntaggedLinesBeforeFirstFieldDropped", "hello\n:ABC\n:20:A\n", {{":20:", "A"}}},
    {"DoubleColonIsATag", "::x", {{"::", "x"}}},
    {"UnknownTagAccepted", ":NS:x\n:23B:CRED", {{":NS:", "x"}, {":23B:", "CRED"}}},
    {"EmptyValue", ":25:\n:28C:", {{":25:", ""}, {":28C:", ""}}},
    {"ValueUntouched", ":86: a:b \t", {{":86:", " a:b \t"}}},
    // Line ends.
    {"CrLf", ":25:ACC\r\n:28C:1\r\n", {{":25:", "ACC"}, {":28C:", "1"}}},
    {"CrCrLf", ":25:ACC\r\r\n:28C:1\r\r\n", {{":25:", "ACC"}, {":28C:", "1"}}},
    {"NoFinalLineFeed", ":25:ACC\n:28C:1", {{":25:", "ACC"}, {":28C:", "1"}}},
    {"InnerCrKept", ":86:a\rb\r\r\n", {{":86:", "a\rb"}}},
    {"CrOnlyLinesOfStatementLine", ":61:L\r\n\r\r\nX\r\n", {{":61:", "L\n\nX"}}},
    // Continuation lines.
    {"NarrativeGlued", ":86:Rent for\n May\n", {{":86:", "Rent for May"}}},
    {"EmptyLineGlued", ":86:a\n\nb\n", {{":86:", "ab"}}},
    {"ColonWithoutSecondColonGlued", ":86:Rent\n:ABC\n", {{":86:", "Rent:ABC"}}},
    {"ColonPairOpensField", ":86:Rent\n:see note: paid\n", {{":86:", "Rent"}, {":see note:", " paid"}}},
    {"StatementLineKeepsLineFeeds", ":61:LINE\nEXTRA\n\nMORE\n:86:x",
     {{":61:", "LINE\nEXTRA\n\nMORE"}, {":86:", "x"}}},
    {"OnlyExactStatementLineTagKeepsLineFeeds", ":61a:L\nX\n:610:L\nX",
     {{":61a:", "LX"}, {":610:", "LX"}}},
    {"JoinedFieldsInARow", ":86:a\nb\n:86:c\n:86:dd\ne\n:86:f",
     {{":86:", "ab"}, {":86:", "c"}, {":86:", "dde"}, {":86:", "f"}}},
    // A byte-order mark (EF BB BF) right before the ':' that starts a line is
    // dropped; anywhere else it stays.
    {"MarkBeforeTags", "\xEF\xBB\xBF:20:A\r\n\xEF\xBB\xBF:25:B", {{":20:", "A"}, {":25:", "B"}}},
    {"MarkBeforeGluedColonLine", ":86:Rent\n\xEF\xBB\xBF:ABC", {{":86:", "Rent:ABC"}}},
    {"MarkAloneOnItsLine", "\xEF\xBB\xBF\n:86:a\n\xEF\xBB\xBF", {{":86:", "a\xEF\xBB\xBF"}}},
    {"MarkBeforeOtherText", "\xEF\xBB\xBFx:20:A\n:86:a\n\xEF\xBB\xBF b", {{":86:", "a\xEF\xBB\xBF b"}}},
    {"SecondMarkStays", "\xEF\xBB\xBF\xEF\xBB\xBF:20:A", {}},
    {"MarkInsideValueStays", ":86:\xEF\xBB\xBF:x:", {{":86:", "\xEF\xBB\xBF:x:"}}},
};

class FieldCursorTest : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldCursorTest, YieldsFields) { EXPECT_EQ(fields_of(GetParam().text), GetParam().want); }

INSTANTIATE_TEST_SUITE_P(Reader, FieldCursorTest, testing::ValuesIn(kFieldCases),
                         case_name<FieldCase>);

// A quadratic join or rescan would not finish on these.
TEST(FieldCursorTest, MillionContinuationLines) {
  std::string text = ":86:";
  for (int i = 0; i < 1'000'000; ++i) text += "ab\r\n";
  text += ":25:ACC";
  Fields fields = fields_of(text);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].second.size(), 2'000'000u);
  EXPECT_EQ(fields[0].second.find_first_not_of("ab"), std::string::npos);
  EXPECT_EQ(fields[1], (std::pair<std::string, std::string>(":25:", "ACC")));
}

TEST(FieldCursorTest, EnormousLines) {
  const std::string untagged = ":" + std::string(8'000'000, 'x');
  EXPECT_TRUE(fields_of(untagged).empty());
  EXPECT_EQ(failure_message(parse_statements(untagged, auto_chain())),
            "Input contains no MT940 data");
  const std::string crs = ":86:v" + std::string(8'000'000, '\r');
  EXPECT_EQ(fields_of(crs), (Fields{{":86:", "v"}}));
}

// ---------------------------------------------------------------------------
// Failures of parse_statements.

struct ErrorCase {
  const char* name;
  std::string_view text;
  std::string_view want;
};

const ErrorCase kErrorCases[] = {
    // No statement.
    {"EmptyText", "", "Input contains no MT940 data"},
    {"UntaggedLines", "hello\nworld\n", "Input contains no MT940 data"},
    {"FieldsWithoutReference", ":25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Input contains no MT940 data"},
    {"OtherTagThanReference", ":20a:REF\n:25:ACC\n", "Input contains no MT940 data"},
    {"ByteOrderMarkBeforeOtherText",
     "\xEF\xBB\xBF \n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Input contains no MT940 data"},

    // Mandatory fields, checked in the order :25:, :28C:, :60F:, :62F:.
    {"OnlyReference", ":20:REF\n", "Missing mandatory tag :25: (REF)"},
    {"EmptyReferenceQuoted", ":20:\n", "Missing mandatory tag :25: ()"},
    {"NoAccountBeforeNumber", ":20:REF\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Missing mandatory tag :25: (REF)"},
    {"EmptyAccount", ":20:REF\n:25:\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Missing mandatory tag :25: (REF)"},
    {"LaterEmptyAccountReplaces", ":20:REF\n:25:ACC\n:25:\n:28C:1\n", "Missing mandatory tag :25: (REF)"},
    {"NoStatementNumber", ":20:REF\n:25:ACC\n", "Missing mandatory tag :28C: (REF)"},
    {"StatementNumberStartsWithSlash",
     ":20:REF\n:25:ACC\n:28C:/1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Missing mandatory tag :28C: (REF)"},
    {"EndsInHeader", ":20:REF\n:25:ACC\n:28C:1\n", "Missing mandatory tag :60F: (REF)"},
    {"LowercaseOpeningTagSkipped", ":20:REF\n:25:ACC\n:28C:1\n:60f:C230101EUR1,00\n",
     "Missing mandatory tag :60F: (REF)"},
    {"EndsAfterStatementLine",
     ":20:REF\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:61:2301010101D10,00NTRFREF\n",
     "Missing mandatory tag :62F: (REF)"},
    {"ClosingBeforeOpeningSkipped", ":20:REF\n:25:ACC\n:28C:1\n:62F:C230101EUR1,00\n",
     "Missing mandatory tag :60F: (REF)"},

    // A faulty statement spoils the whole parse, wherever it stands.
    {"FirstOfTwoFaulty",
     ":20:A\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n"
     ":20:B\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n",
     "Missing mandatory tag :25: (A)"},
    {"SecondOfTwoFaulty",
     ":20:A\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n:20:B\n",
     "Missing mandatory tag :25: (B)"},

    // A :20: before the open statement's balances ends that statement, which
    // then fails its checks: the next statement never flows into it.
    {"ReferenceBeforeClosing",
     ":20:A\n:25:ACC1\n:28C:1\n:60F:C230101EUR1,00\n:61:2301010101D10,00NTRFX\n"
     ":20:B\n:25:ACC2\n:28C:2\n:60F:C230201USD7,00\n:62F:C230228USD9,00\n",
     "Missing mandatory tag :62F: (A)"},
    {"ReferenceBeforeOpening",
     ":20:A\n:25:ACC1\n:28C:1\n:61:2301010101D10,00NTRFX\n"
     ":20:B\n:25:ACC2\n:28C:2\n:60F:C230201USD7,00\n:62F:C230228USD9,00\n",
     "Missing mandatory tag :60F: (A)"},
    {"ReferenceInHeaderChecksAccountFirst",
     ":20:A\n:28C:1\n:20:B\n:25:ACC2\n:28C:2\n:60F:C230201USD7,00\n:62F:C230228USD9,00\n",
     "Missing mandatory tag :25: (A)"},
    {"ReferenceInHeaderChecksNumberSecond",
     ":20:A\n:25:ACC1\n:20:B\n:25:ACC2\n:28C:2\n:60F:C230201USD7,00\n:62F:C230228USD9,00\n",
     "Missing mandatory tag :28C: (A)"},

    // Errors of the field readers are handed on unchanged.
    {"BlockTrailerAfterClosing",
     ":20:REF\n:25:ACC\n:28C:1\n:60F:C230101EUR1000,00\n:62F:C230131EUR1234,56\n-}",
     "Invalid amount '1234,56-}' in tag (amount field)"},
    {"BadOpeningBalance", ":20:REF\n:25:ACC\n:28C:1\n:60F:C2301\n",
     "Invalid format in tag balance: 'C2301': too short"},
    {"BadAvailableBalance",
     ":20:REF\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n:65:X230101EUR1,00\n",
     "Invalid format in tag balance: 'X230101EUR1,00': invalid D/C mark"},
    {"BadStatementLine",
     ":20:REF\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:61:2313010101D10,00NTRFREF\n",
     "Invalid date '231301' in tag (date field)"},
    {"FieldErrorBeforeMandatoryCheck", ":20:REF\n:60F:C231301EUR1,00\n",
     "Invalid date '231301' in tag (date field)"},

    // A balance read from a field that spans lines fails on its amount, as
    // joined: a line after it never becomes digits of the amount.
    {"LineAfterClosing", ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240131EUR100,00\n940\n",
     "Invalid amount '100,00940' in tag (amount field)"},
    {"LineAfterWholeClosing", ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240131EUR100\n940",
     "Invalid amount '100940' in tag (amount field)"},
    {"LineAfterIntermediateClosing",
     ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62M:C240131EUR100,00\r\n\r\n2\r\n",
     "Invalid amount '100,002' in tag (amount field)"},
    {"LineAfterOpening", ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1000,00\n00\n:62F:C240131EUR1,00\n",
     "Invalid amount '1000,0000' in tag (amount field)"},
    {"LineAfterIntermediateOpening", ":20:R\n:25:A\n:28C:1\n:60M:C240101EUR5\n,5\n",
     "Invalid amount '5,5' in tag (amount field)"},
    {"LineAfterClosingAvailable",
     ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240131EUR1,00\n:64:C240131EUR1,00\n5\n",
     "Invalid amount '1,005' in tag (amount field)"},
    {"LineAfterForwardAvailable",
     ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240131EUR1,00\n:65:C240201EUR1,00\n0\n",
     "Invalid amount '1,000' in tag (amount field)"},
    {"BalanceSplitAcrossLines", ":20:R\n:25:A\n:28C:1\n:60F:C2401\n01EUR1,00\n",
     "Invalid amount '1,00' in tag (amount field)"},
    {"BalanceChecksComeFirst",
     ":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:62F:X240102EUR900,50\n5\n",
     "Invalid format in tag balance: 'X240102EUR900,505': invalid D/C mark"},
};

class ParseErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrorTest, Fails) {
  ParseOutcome outcome = parse_statements(GetParam().text, auto_chain());
  ASSERT_FALSE(outcome);
  EXPECT_EQ(failure_message(outcome), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Reader, ParseErrorTest, testing::ValuesIn(kErrorCases),
                         case_name<ErrorCase>);

// ---------------------------------------------------------------------------
// Line ends: every field reads alike, also the last one without any end.

struct LineEndCase {
  const char* name;
  std::string_view text;
};

const LineEndCase kLineEndCases[] = {
    {"Lf", ":20:R\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n:86:INFO\n"},
    {"CrLf",
     ":20:R\r\n:25:ACC\r\n:28C:1\r\n:60F:C230101EUR1,00\r\n:62F:C230101EUR1,00\r\n:86:INFO\r\n"},
    {"CrCrLf",
     ":20:R\r\r\n:25:ACC\r\r\n:28C:1\r\r\n:60F:C230101EUR1,00\r\r\n:62F:C230101EUR1,00\r\r\n"
     ":86:INFO\r\r\n"},
    {"NoFinalLineEnd", ":20:R\r\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:62F:C230101EUR1,00\n:86:INFO"},
};

class LineEndTest : public testing::TestWithParam<LineEndCase> {};

TEST_P(LineEndTest, ValuesWithoutLineEnd) {
  std::vector<Statement> statements = parse_ok(GetParam().text);
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].transaction_reference, "R");
  EXPECT_EQ(statements[0].account_identification, "ACC");
  EXPECT_EQ(statements[0].statement_number, "1");
  EXPECT_EQ(statements[0].information_to_account_owner, "INFO");
  EXPECT_EQ(statements[0].closing_balance.currency, "EUR");
}

INSTANTIATE_TEST_SUITE_P(Reader, LineEndTest, testing::ValuesIn(kLineEndCases),
                         case_name<LineEndCase>);

// ---------------------------------------------------------------------------
// Lines that leave a balance alone: empty lines, and the lines of a field that
// the state skips, which is never read.

TEST(ParseStatementsTest, BalancesTakeNoTextFromEmptyOrSkippedLines) {
  std::vector<Statement> statements = parse_ok(
      ":20:R\r\n:25:A\r\n:28C:1\r\n:64:junk before closing\r\n940\r\n"
      ":60F:C240101EUR1,00\r\n\r\n\r\r\n:61:2401020102C1,00NTRFX\r\n"
      ":62F:C240131EUR2,00\r\n\r\n:62F:second closing\r\n940\r\n:64:C240131EUR3,00\r\n\r\n"
      "\r\n:20:S\r\n:25:B\r\n:28C:2\r\n:60F:C240201EUR4,00\r\n:62F:C240229EUR4,00\r\n"
      ":65:D240301EUR5,00\r\n\r\n");
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0].opening_balance.amount.to_string(), "1.00");
  EXPECT_EQ(statements[0].closing_balance.amount.to_string(), "2.00");
  ASSERT_TRUE(statements[0].closing_available_balance);
  EXPECT_EQ(statements[0].closing_available_balance->amount.to_string(), "3.00");
  ASSERT_TRUE(statements[1].forward_available_balance);
  EXPECT_EQ(statements[1].forward_available_balance->amount.to_string(), "5.00");
}

// ---------------------------------------------------------------------------
// Byte-order marks: a text read from a UTF-8 file keeps its mark, and files
// joined with cat keep one before each later :20:. Neither hides a statement.

TEST(ParseStatementsTest, MarkBeforeTagsReadsAsWithout) {
  const std::string first = ":20:A\n:25:ACC1\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240131EUR1,00\n";
  const std::string second = ":20:B\n:25:ACC2\n:28C:2\n:60F:C240201EUR1,00\n:62F:C240229EUR1,00\n";
  const std::string info = ":86:owner info\n";
  const std::string mark = "\xEF\xBB\xBF";
  const std::pair<std::string, std::string> texts[] = {
      {mark + first, first},
      {mark + first + second, first + second},
      {mark + first + info + mark + second, first + info + second},
      {mark + first + mark + info + mark + second, first + info + second},
  };
  for (const auto& [with_marks, without] : texts) {
    SCOPED_TRACE(testing::PrintToString(with_marks));
    EXPECT_EQ(parse_ok(with_marks), parse_ok(without));
  }
  std::vector<Statement> joined = parse_ok(mark + first + info + mark + second);
  ASSERT_EQ(joined.size(), 2u);
  EXPECT_EQ(joined[0].information_to_account_owner, "owner info");
  EXPECT_EQ(joined[1].transaction_reference, "B");
}

// ---------------------------------------------------------------------------
// :28C: forms.

struct NumberCase {
  const char* name;
  std::string_view fields;  // the :28C: lines of the header
  std::string_view number;
  std::optional<std::string_view> sequence;
};

const NumberCase kNumberCases[] = {
    {"NoSlash", ":28C:00012\n", "00012", std::nullopt},
    {"TrailingSlash", ":28C:12/\n", "12", ""},
    {"SplitAtFirstSlash", ":28C:12/3/4\n", "12", "3/4"},
    {"LaterReplacesSequenceToo", ":28C:5/1\n:28C:7\n", "7", std::nullopt},
    {"LaterReplacesNumber", ":28C:5\n:28C:7/2\n", "7", "2"},
};

class StatementNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(StatementNumberTest, Splits) {
  const std::string text = ":20:R\n:25:ACC\n" + std::string(GetParam().fields) +
                           ":60F:C230101EUR1,00\n:62F:C230101EUR1,00\n";
  std::vector<Statement> statements = parse_ok(text);
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].statement_number, GetParam().number);
  EXPECT_EQ(statements[0].sequence_number, GetParam().sequence);
}

INSTANTIATE_TEST_SUITE_P(Reader, StatementNumberTest, testing::ValuesIn(kNumberCases),
                         case_name<NumberCase>);

// ---------------------------------------------------------------------------
// Statements and their fields.

TEST(ParseStatementsTest, FullStatement) {
  std::vector<Statement> statements = parse_ok(R"(:20:REF
:21:REL
:25:DE89370400440532013000
:28C:00001/001
:60M:D230101EUR1000,00
:61:2301010101D10,00NTRFREF1//B1
:86:Rent for
 May
:61:2301020102C5,50NTRFREF2
EXTRA
:62F:C230131EUR990,00
:64:C230131EUR980,00
:65:C230201EUR970,00
:86:owner info
)");
  ASSERT_EQ(statements.size(), 1u);
  const Statement& s = statements[0];
  EXPECT_EQ(s.transaction_reference, "REF");
  EXPECT_EQ(s.related_reference, "REL");
  EXPECT_EQ(s.account_identification, "DE89370400440532013000");
  EXPECT_EQ(s.statement_number, "00001");
  EXPECT_EQ(s.sequence_number, "001");
  EXPECT_EQ(s.opening_balance.amount.to_string(), "1000.00");
  EXPECT_EQ(s.opening_balance.debit_credit, DebitCreditMark::Debit);
  EXPECT_TRUE(s.opening_balance.is_intermediate);
  EXPECT_EQ(s.closing_balance.amount.to_string(), "990.00");
  EXPECT_FALSE(s.closing_balance.is_intermediate);
  ASSERT_TRUE(s.closing_available_balance);
  EXPECT_EQ(s.closing_available_balance->amount.to_string(), "980.00");
  ASSERT_TRUE(s.forward_available_balance);
  EXPECT_EQ(s.forward_available_balance->amount.to_string(), "970.00");
  EXPECT_EQ(s.information_to_account_owner, "owner info");

  ASSERT_EQ(s.transactions.size(), 2u);
  const TransactionRecord& first = s.transactions[0];
  EXPECT_EQ(first.customer_reference, "REF1");
  EXPECT_EQ(first.bank_reference, "B1");
  EXPECT_EQ(first.details, "Rent for May");
  EXPECT_EQ(first.structured_details, detail("Rent for May"));
  const TransactionRecord& second = s.transactions[1];
  EXPECT_EQ(second.customer_reference, "REF2");
  EXPECT_EQ(second.extra_details, "EXTRA");
  EXPECT_EQ(second.details, "");
  EXPECT_FALSE(second.structured_details);
}

TEST(ParseStatementsTest, MinimalStatementHasOpeningValues) {
  std::vector<Statement> statements =
      parse_ok(":20:\n:25:A\n:28C:1\n:60F:C230101EUR0,00\n:62F:C230131EUR0,00\n");
  ASSERT_EQ(statements.size(), 1u);
  const Statement& s = statements[0];
  EXPECT_EQ(s.transaction_reference, "");
  EXPECT_FALSE(s.related_reference);
  EXPECT_FALSE(s.sequence_number);
  EXPECT_TRUE(s.opening_balance.amount.is_zero());  // a zero balance counts as read
  EXPECT_EQ(s.opening_balance.currency, "EUR");
  EXPECT_FALSE(s.closing_available_balance);
  EXPECT_FALSE(s.forward_available_balance);
  EXPECT_TRUE(s.transactions.empty());
  EXPECT_FALSE(s.information_to_account_owner);
}

TEST(ParseStatementsTest, HeaderFieldsLaterReplace) {
  // A second :21:, :25: or :28C: in Header replaces the first; the :28C:
  // after the opening balance is skipped.
  std::vector<Statement> statements = parse_ok(R"(:20:REF
:21:R1
:25:A1
:28C:5/1
:21:R2
:25:A2
:28C:7
:60F:C230101EUR1,00
:28C:9
:62F:C230101EUR1,00
)");
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].transaction_reference, "REF");
  EXPECT_EQ(statements[0].related_reference, "R2");
  EXPECT_EQ(statements[0].account_identification, "A2");
  EXPECT_EQ(statements[0].statement_number, "7");
  EXPECT_FALSE(statements[0].sequence_number);
}

TEST(ParseStatementsTest, SkippedFieldsLeaveNoTrace) {
  // Skipped values are not read: none of these would pass its reader.
  std::vector<Statement> statements = parse_ok(R"(:NS:junk
:61:junk before the statement
:20:REF
:23B:CRED
:61:junk in header
:86:narrative in header
:64:junk
:25:ACC
:28C:1
:60F:C230101EUR1,00
:NS:22x
:64:junk before closing
:65:junk before closing
:21:late related reference
:61:2301010101D10,00NTRFREF
:62F:C230131EUR1,00
:61:junk in trailer
:86:after skipped line
:62F:junk second closing
:60F:junk
:28C:9
)");
  ASSERT_EQ(statements.size(), 1u);
  const Statement& s = statements[0];
  EXPECT_FALSE(s.related_reference);
  EXPECT_EQ(s.statement_number, "1");
  EXPECT_FALSE(s.closing_available_balance);
  EXPECT_FALSE(s.forward_available_balance);
  EXPECT_EQ(s.closing_balance.amount.to_string(), "1.00");
  ASSERT_EQ(s.transactions.size(), 1u);
  EXPECT_FALSE(s.transactions[0].structured_details);
  EXPECT_EQ(s.information_to_account_owner, "after skipped line");
}

TEST(ParseStatementsTest, TrailerFieldsLaterReplaces) {
  std::vector<Statement> statements = parse_ok(R"(:20:REF
:25:ACC
:28C:1
:60F:C230101EUR1,00
:62M:C230131EUR2,00
:64:C230131EUR3,00
:86:first info
:65:C230201EUR4,00
:64:D230131EUR5,00
:86:second
 info
:65:C230202EUR6,00
)");
  ASSERT_EQ(statements.size(), 1u);
  const Statement& s = statements[0];
  EXPECT_TRUE(s.closing_balance.is_intermediate);
  EXPECT_EQ(s.closing_available_balance->amount.to_string(), "5.00");
  EXPECT_EQ(s.closing_available_balance->debit_credit, DebitCreditMark::Debit);
  EXPECT_EQ(s.forward_available_balance->amount.to_string(), "6.00");
  EXPECT_EQ(s.information_to_account_owner, "second info");
}

TEST(ParseStatementsTest, NarrativesAttachToTheLatestStatementLine) {
  std::vector<Statement> statements = parse_ok(R"(:20:REF
:25:ACC
:28C:1
:60F:C230101EUR1,00
:86:before any line
:61:2301010101D10,00NTRFA
:86:first
:86:second
:61:2301010101D10,00NTRFB
:86:Rent
:see note: paid
:61:2301010101D10,00NTRFC
:86:
:61:2301010101D10,00NTRFD
:86:Rent
:ABC
:62F:C230131EUR1,00
)");
  ASSERT_EQ(statements.size(), 1u);
  const std::vector<TransactionRecord>& t = statements[0].transactions;
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].details, "second");
  EXPECT_EQ(t[0].structured_details, detail("second"));
  EXPECT_EQ(t[1].details, "Rent");  // ":see note:" opened a skipped field
  EXPECT_EQ(t[2].details, "");      // an empty narrative is attached all the same
  EXPECT_EQ(t[2].structured_details, detail(""));
  EXPECT_EQ(t[3].details, "Rent:ABC");
  EXPECT_FALSE(statements[0].information_to_account_owner);
}

TEST(ParseStatementsTest, NarrativeBeforeFirstLineDiscarded) {
  std::vector<Statement> statements = parse_ok(R"(:20:REF
:25:ACC
:28C:1
:60F:C230101EUR1,00
:86:lost
:61:2301010101D10,00NTRFREF
:62F:C230131EUR1,00
)");
  ASSERT_EQ(statements.size(), 1u);
  ASSERT_EQ(statements[0].transactions.size(), 1u);
  EXPECT_EQ(statements[0].transactions[0].details, "");
  EXPECT_FALSE(statements[0].transactions[0].structured_details);
  EXPECT_FALSE(statements[0].information_to_account_owner);
}

TEST(ParseStatementsTest, TwoStatementsInTextOrder) {
  for (std::string_view closing : {":62F:", ":62M:"}) {
    const std::string text = ":20:A\n:25:ACC1\n:28C:1\n:60F:C230101EUR1,00\n"
                             ":61:2301010101D10,00NTRFX\n" + std::string(closing) +
                             "C230131EUR1,00\n:86:info A\n"
                             ":20:B\n:25:ACC2\n:28C:2\n:60F:C230201EUR1,00\n:62F:C230228EUR1,00\n";
    SCOPED_TRACE(closing);
    std::vector<Statement> statements = parse_ok(text);
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[0].transaction_reference, "A");
    EXPECT_EQ(statements[0].account_identification, "ACC1");
    EXPECT_EQ(statements[0].transactions.size(), 1u);
    EXPECT_EQ(statements[0].information_to_account_owner, "info A");
    EXPECT_EQ(statements[1].transaction_reference, "B");
    EXPECT_EQ(statements[1].account_identification, "ACC2");
    EXPECT_EQ(statements[1].statement_number, "2");
    EXPECT_TRUE(statements[1].transactions.empty());
    EXPECT_FALSE(statements[1].information_to_account_owner);
  }
}

// ---------------------------------------------------------------------------
// The decoder chain.

// Declines everything: a chain of only this breaks the chain invariant.
class DecliningDecoder : public Decoder {
 public:
  std::optional<StructuredDetails> decode(std::string_view) const override { return std::nullopt; }
  std::string_view name() const override { return "declining"; }
};

// Accepts everything and notes what it was shown.
class RecordingDecoder : public Decoder {
 public:
  explicit RecordingDecoder(std::vector<std::string>* seen) : seen_(seen) {}
  std::optional<StructuredDetails> decode(std::string_view narrative) const override {
    seen_->emplace_back(narrative);
    StructuredDetails map;
    map.insert_or_assign("seen", narrative);
    return map;
  }
  std::string_view name() const override { return "recording"; }

 private:
  std::vector<std::string>* seen_;  // not owned; outlives the decoder
};

TEST(DecoderChainUseTest, BrokenChainIsAnInternalError) {
  std::vector<std::unique_ptr<Decoder>> decoders;
  decoders.push_back(std::make_unique<DecliningDecoder>());
  const DecoderChain broken(std::move(decoders));
  // The narrative stands before any statement line: it is still decoded.
  ParseOutcome outcome = parse_statements(
      ":20:REF\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n:86:x\n:62F:C230131EUR1,00\n", broken);
  ASSERT_FALSE(outcome);
  const auto* internal_error = std::get_if<InternalError>(&outcome.error());
  ASSERT_NE(internal_error, nullptr);
  EXPECT_EQ(internal_error->message, kBrokenChainMessage);

  // Narratives outside the entries are never decoded.
  EXPECT_EQ(parse_ok(":20:REF\n:86:h\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n"
                     ":62F:C230131EUR1,00\n:86:info\n", broken)
                .size(),
            1u);
}

TEST(DecoderChainUseTest, ChainSeesEveryEntryNarrativeAsRead) {
  std::vector<std::string> seen;
  std::vector<std::unique_ptr<Decoder>> decoders;
  decoders.push_back(std::make_unique<RecordingDecoder>(&seen));
  const DecoderChain chain(std::move(decoders));
  std::vector<Statement> statements = parse_ok(
      ":20:REF\n:86:header\n:25:ACC\n:28C:1\n:60F:C230101EUR1,00\n"
      ":86:lost\r\n:61:2301010101D10,00NTRFREF\n:86:one\r\n:86:two\r\n three\n"
      ":62F:C230131EUR1,00\n:86:info\n",
      chain);
  EXPECT_EQ(seen, (std::vector<std::string>{"lost", "one", "two three"}));
  ASSERT_EQ(statements.size(), 1u);
  ASSERT_EQ(statements[0].transactions.size(), 1u);
  StructuredDetails want;
  want.insert_or_assign("seen", "two three");
  EXPECT_EQ(statements[0].transactions[0].structured_details, want);
}

// ---------------------------------------------------------------------------
// finish_statement on its own.

TEST(FinishStatementTest, ChecksInOrderAndTakesTheStatement) {
  std::vector<Statement> result;
  std::optional<Statement> none;
  EXPECT_EQ(finish_statement(none, ParserState::Trailer, result), std::nullopt);
  EXPECT_TRUE(result.empty());

  struct Step {
    std::string account, number;
    ParserState state;
    std::string_view want;  // "" when the statement is accepted
  };
  const Step steps[] = {
      {"", "", ParserState::Header, "Missing mandatory tag :25: (R)"},
      {"A", "", ParserState::Header, "Missing mandatory tag :28C: (R)"},
      {"A", "1", ParserState::Header, "Missing mandatory tag :60F: (R)"},
      {"A", "1", ParserState::Entries, "Missing mandatory tag :62F: (R)"},
      {"", "1", ParserState::Trailer, "Missing mandatory tag :25: (R)"},
      {"A", "1", ParserState::Trailer, ""},
  };
  for (const Step& step : steps) {
    std::optional<Statement> statement = Statement{};
    statement->transaction_reference = "R";
    statement->account_identification = step.account;
    statement->statement_number = step.number;
    std::optional<ParseError> error = finish_statement(statement, step.state, result);
    EXPECT_FALSE(statement);  // taken out, accepted or not
    EXPECT_EQ(error ? error->message() : "", step.want);
  }
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].account_identification, "A");
}

}  // namespace
}  // namespace vardel
