// The three exporters: JSON layout and number form, CSV rows and quoting,
// camt.053 document lines and XML escaping. Records are built directly.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/export/camt053.hpp"
#include "core/export/csv.hpp"
#include "core/export/json.hpp"
#include "core/records.hpp"

namespace vardel {
namespace {

using Pairs = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// GoogleTest prints a case of the tables below by its name, not byte by byte.
template <typename Case>
  requires requires(const Case& c) { std::string_view(c.name); }
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

Decimal dec(uint64_t magnitude, uint8_t scale = 2, bool negative = false) {
  return Decimal{magnitude, scale, negative};
}

StructuredDetails details_of(Pairs pairs) {
  StructuredDetails m;
  for (const auto& [code, value] : pairs) m.insert_or_assign(code, value);
  return m;
}

Balance balance(DebitCreditMark mark, Date date, std::string currency, Decimal amount) {
  Balance b;
  b.debit_credit = mark;
  b.date = date;
  b.currency = std::move(currency);
  b.amount = amount;
  return b;
}

// :61:2401020102DR99,50NTRFNONREF//B1 with the narrative "Payment for invoice",
// decoded by the unstructured decoder.
TransactionRecord example_transaction() {
  TransactionRecord t;
  t.value_date = Date{2024, 1, 2};
  t.entry_date = Date{2024, 1, 2};
  t.debit_credit = DebitCreditMark::Debit;
  t.amount = dec(9950);
  t.transaction_type = "NTRF";
  t.customer_reference = "NONREF";
  t.bank_reference = "B1";
  t.details = "Payment for invoice";
  t.structured_details = details_of({{"detail", "Payment for invoice"}});
  return t;
}

// :20:STMT1 :25:DE0012345678 :28C:5/1 :60F:C240101EUR1000,00 :62F:C240102EUR900,50.
Statement example_statement() {
  Statement s;
  s.transaction_reference = "STMT1";
  s.account_identification = "DE0012345678";
  s.statement_number = "5";
  s.sequence_number = "1";
  s.opening_balance = balance(DebitCreditMark::Credit, Date{2024, 1, 1}, "EUR", dec(100000));
  s.closing_balance = balance(DebitCreditMark::Credit, Date{2024, 1, 2}, "EUR", dec(90050));
  s.transactions.push_back(example_transaction());
  return s;
}

// A bare transaction: value date 2024-03-05, no entry date, no narrative.
TransactionRecord bare_transaction(DebitCreditMark mark, Decimal amount) {
  TransactionRecord t;
  t.value_date = Date{2024, 3, 5};
  t.debit_credit = mark;
  t.amount = amount;
  t.transaction_type = "NTRF";
  t.customer_reference = "REF";
  return t;
}

size_t count_of(std::string_view text, std::string_view needle) {
  size_t n = 0;
  for (size_t p = text.find(needle); p != std::string_view::npos; p = text.find(needle, p + 1)) {
    ++n;
  }
  return n;
}

// ---------------------------------------------------------------- JSON

constexpr std::string_view kExampleJson = R"([
  {
    "transactionReference": "STMT1",
    "relatedReference": "",
    "accountIdentification": "DE0012345678",
    "number": {
      "statement": "5",
      "sequence": "1",
      "section": ""
    },
    "statementDate": "2024-01-02",
    "openingBalanceDate": "2024-01-01",
    "closingBalanceDate": "2024-01-02",
    "closingAvailableBalanceDate": "2024-01-02T00:00:00.000Z",
    "forwardAvailableBalanceDate": "2024-01-02T00:00:00.000Z",
    "currency": "EUR",
    "openingBalance": 1000.0,
    "closingBalance": 900.5,
    "closingAvailableBalance": 900.5,
    "forwardAvailableBalance": 900.5,
    "informationToAccountOwner": "",
    "transactions": [
      {
        "date": "2024-01-02",
        "entryDate": "2024-01-02",
        "amount": -99.5,
        "isReversal": false,
        "transactionType": "NTRF",
        "reference": "NONREF",
        "bankReference": "B1",
        "extraDetails": "",
        "currency": "EUR",
        "details": "Payment for invoice",
        "structuredDetails": {
          "detail": "Payment for invoice"
        }
      }
    ]
  }
])";

TEST(JsonExportTest, ExampleStatementWholeText) {
  EXPECT_EQ(export_json({example_statement()}), kExampleJson);
}

TEST(JsonExportTest, EmptyListIsEmptyArray) { EXPECT_EQ(export_json({}), "[]"); }

TEST(JsonExportTest, TwoStatementsInOrderNoTrailingLineFeed) {
  Statement second = example_statement();
  second.transaction_reference = "STMT2";
  const std::string text = export_json({example_statement(), second});
  EXPECT_NE(text.find("    ]\n  },\n  {\n    \"transactionReference\": \"STMT2\""),
            std::string::npos);
  EXPECT_LT(text.find("STMT1"), text.find("STMT2"));
  EXPECT_EQ(text.substr(text.size() - 5), "  }\n]");
}

TEST(JsonExportTest, StatementWithoutTransactionsHasEmptyArrayOnOneLine) {
  Statement s = example_statement();
  s.transactions.clear();
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\n    \"informationToAccountOwner\": \"\",\n    \"transactions\": []\n  }\n]"),
            std::string::npos)
      << text;
}

struct NumberObjectCase {
  const char* name;
  std::optional<std::string> sequence;
  const char* want;
};

const NumberObjectCase kNumberObjectCases[] = {
    {"SequenceAbsent", std::nullopt,
     "\"number\": {\n      \"statement\": \"5\",\n      \"section\": \"\"\n    },"},
    {"SequenceEmpty", "",
     "\"number\": {\n      \"statement\": \"5\",\n      \"sequence\": \"\",\n"
     "      \"section\": \"\"\n    },"},
    {"SequencePresent", "02",
     "\"number\": {\n      \"statement\": \"5\",\n      \"sequence\": \"02\",\n"
     "      \"section\": \"\"\n    },"},
};

class JsonNumberObjectTest : public testing::TestWithParam<NumberObjectCase> {};

TEST_P(JsonNumberObjectTest, Layout) {
  Statement s = example_statement();
  s.sequence_number = GetParam().sequence;
  EXPECT_NE(export_json({s}).find(GetParam().want), std::string::npos) << export_json({s});
}

INSTANTIATE_TEST_SUITE_P(Sequences, JsonNumberObjectTest, testing::ValuesIn(kNumberObjectCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(JsonExportTest, AvailableBalancesFallBackToClosing) {
  Statement s = example_statement();
  s.closing_balance.date = Date{2024, 2, 29};
  s.closing_balance.amount = dec(1234);
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\"statementDate\": \"2024-02-29\",\n"
                      "    \"openingBalanceDate\": \"2024-01-01\",\n"
                      "    \"closingBalanceDate\": \"2024-02-29\",\n"
                      "    \"closingAvailableBalanceDate\": \"2024-02-29T00:00:00.000Z\",\n"
                      "    \"forwardAvailableBalanceDate\": \"2024-02-29T00:00:00.000Z\",\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"closingBalance\": 12.34,\n"
                      "    \"closingAvailableBalance\": 12.34,\n"
                      "    \"forwardAvailableBalance\": 12.34,\n"),
            std::string::npos)
      << text;

  // An overdrawn closing balance is negative in the fallbacks too.
  s.closing_balance.debit_credit = DebitCreditMark::Debit;
  const std::string debit = export_json({s});
  EXPECT_NE(debit.find("\"closingBalance\": -12.34,\n"
                       "    \"closingAvailableBalance\": -12.34,\n"
                       "    \"forwardAvailableBalance\": -12.34,\n"),
            std::string::npos)
      << debit;
}

TEST(JsonExportTest, AvailableBalancesUseTheirOwnValues) {
  Statement s = example_statement();
  s.closing_available_balance =
      balance(DebitCreditMark::Credit, Date{2024, 1, 3}, "EUR", dec(77725));
  s.forward_available_balance =
      balance(DebitCreditMark::Debit, Date{2024, 1, 4}, "EUR", dec(25000));
  s.opening_balance.debit_credit = DebitCreditMark::Debit;
  s.related_reference = "REL-9";
  s.information_to_account_owner = "owner info";
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\"closingAvailableBalanceDate\": \"2024-01-03T00:00:00.000Z\",\n"
                      "    \"forwardAvailableBalanceDate\": \"2024-01-04T00:00:00.000Z\",\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"openingBalance\": -1000.0,\n"
                      "    \"closingBalance\": 900.5,\n"
                      "    \"closingAvailableBalance\": 777.25,\n"
                      "    \"forwardAvailableBalance\": -250.0,\n"
                      "    \"informationToAccountOwner\": \"owner info\",\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"relatedReference\": \"REL-9\",\n"), std::string::npos);
}

TEST(JsonExportTest, OptionalTransactionKeysLeftOut) {
  Statement s = example_statement();
  s.transactions = {bare_transaction(DebitCreditMark::Credit, dec(1250))};
  EXPECT_EQ(export_json({s}).substr(export_json({s}).find("\"transactions\"")),
            R"("transactions": [
      {
        "date": "2024-03-05",
        "amount": 12.5,
        "isReversal": false,
        "transactionType": "NTRF",
        "reference": "REF",
        "bankReference": "",
        "extraDetails": "",
        "currency": "EUR",
        "details": ""
      }
    ]
  }
])");
}

TEST(JsonExportTest, FundsCodeExtraDetailsAndSortedCodes) {
  Statement s = example_statement();
  s.opening_balance.currency = "USD";  // every transaction carries the opening currency
  TransactionRecord t = bare_transaction(DebitCreditMark::Debit, dec(500));
  t.entry_date = Date{2024, 3, 6};
  t.funds_code = "R";
  t.extra_details = "line one\nline two";
  t.details = "?20a?32b";
  t.structured_details = details_of({{"tx_code", "1"},
                                     {"gvc", "166"},
                                     {"detail", "d"},
                                     {"REMI_COMBINED", "rc"},
                                     {"REMI", "r"},
                                     {"NAME", "n"},
                                     {"IBAN", "i"},
                                     {"32", "b"},
                                     {"21", "x"},
                                     {"20", "a"}});
  s.transactions = {t};
  const std::string text = export_json({s});
  EXPECT_EQ(text.substr(text.find("\"transactions\"")), R"("transactions": [
      {
        "date": "2024-03-05",
        "entryDate": "2024-03-06",
        "fundsCode": "R",
        "amount": -5.0,
        "isReversal": false,
        "transactionType": "NTRF",
        "reference": "REF",
        "bankReference": "",
        "extraDetails": "line one\nline two",
        "currency": "USD",
        "details": "?20a?32b",
        "structuredDetails": {
          "20": "a",
          "21": "x",
          "32": "b",
          "IBAN": "i",
          "NAME": "n",
          "REMI": "r",
          "REMI_COMBINED": "rc",
          "detail": "d",
          "gvc": "166",
          "tx_code": "1"
        }
      }
    ]
  }
])");
}

TEST(JsonExportTest, EmptyStructuredDetailsIsEmptyObject) {
  Statement s = example_statement();
  s.transactions[0].structured_details = StructuredDetails{};
  EXPECT_NE(export_json({s}).find("\"structuredDetails\": {}\n      }\n    ]"), std::string::npos);
}

struct JsonAmountCase {
  const char* name;
  DebitCreditMark mark;
  Decimal amount;
  const char* want;  // the amount and isReversal lines
};

const JsonAmountCase kJsonAmountCases[] = {
    {"CreditZero", DebitCreditMark::Credit, dec(0), "\"amount\": 0.0,\n        \"isReversal\": false"},
    {"DebitZero", DebitCreditMark::Debit, dec(0), "\"amount\": -0.0,\n        \"isReversal\": false"},
    {"Credit", DebitCreditMark::Credit, dec(123450), "\"amount\": 1234.5,\n        \"isReversal\": false"},
    {"Debit", DebitCreditMark::Debit, dec(9995), "\"amount\": -99.95,\n        \"isReversal\": false"},
    {"ReversalOfDebit", DebitCreditMark::ReversalOfDebit, dec(300), "\"amount\": 3.0,\n        \"isReversal\": true"},
    {"ReversalOfCredit", DebitCreditMark::ReversalOfCredit, dec(300), "\"amount\": -3.0,\n        \"isReversal\": true"},
    {"LargestAmount", DebitCreditMark::Credit, dec(99999999999999999ULL),
     "\"amount\": 1000000000000000.0,\n        \"isReversal\": false"},
};

class JsonAmountTest : public testing::TestWithParam<JsonAmountCase> {};

TEST_P(JsonAmountTest, SignedByMark) {
  Statement s = example_statement();
  s.transactions = {bare_transaction(GetParam().mark, GetParam().amount)};
  const std::string text = export_json({s});
  EXPECT_NE(text.find(GetParam().want), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Marks, JsonAmountTest, testing::ValuesIn(kJsonAmountCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct DoubleCase {
  const char* name;
  double value;
  const char* want;
};

const DoubleCase kDoubleCases[] = {
    // Zeros
    {"Zero", 0.0, "0.0"},
    {"NegativeZero", -0.0, "-0.0"},
    // Plain, below one
    {"FiveHundredths", 0.05, "0.05"},
    {"OneHundredThousandth", 0.00001, "0.00001"},
    {"NegativeSmall", -0.00012, "-0.00012"},
    // Plain, whole numbers
    {"One", 1.0, "1.0"},
    {"Hundred", 100.0, "100.0"},
    {"TwoFifty", 250.0, "250.0"},
    {"Thousand", 1000.0, "1000.0"},
    {"TenToFifteen", 1e15, "1000000000000000.0"},
    {"NineNines", 999999999.0, "999999999.0"},
    // Plain, with fraction
    {"Fraction", 1234.5, "1234.5"},
    {"NegativeFraction", -99.95, "-99.95"},
    {"PointOne", 0.1, "0.1"},
    {"Pennies", 12345678901234.56, "12345678901234.56"},
    // Exponent notation
    {"TenToSixteen", 1e16, "1e+16"},
    {"TwoPointFiveE16", 2.5e16, "2.5e+16"},
    {"TwoPointFiveE17", 2.5e17, "2.5e+17"},
    {"NegativeLarge", -1.25e20, "-1.25e+20"},
    {"Sixteen9s", 9999999999999999.0, "1e+16"},
    {"Large28", 7.9e28, "7.9e+28"},
    {"Millionth", 1e-6, "1e-6"},
    {"OnePointFiveMillionths", 1.5e-6, "1.5e-6"},
    {"TenToMinus28", 1e-28, "1e-28"},
    // The edges of plain notation: e = -5 and 15 stay plain, -6 and 16 do not,
    // with one digit and with many.
    {"ExpMinus5ManyDigits", 1.2345e-5, "0.000012345"},
    {"ExpMinus6ManyDigits", -9.87654321e-6, "-9.87654321e-6"},
    {"Exp15SixteenDigitsWhole", 1234567890123456.0, "1234567890123456.0"},
    {"Exp15SeventeenDigits", 1234567890123456.5, "1234567890123456.5"},
    {"Exp16SeventeenDigits", 12345678901234568.0, "1.2345678901234568e+16"},
    {"Exp14Fraction", 123456789012345.6, "123456789012345.6"},
    // Digits against exponent: n = e + 1 is whole, n = e + 2 has one fraction digit.
    {"WholeAllDigits", 123.0, "123.0"},
    {"OneFractionDigit", 12.3, "12.3"},
    {"Half", 0.5, "0.5"},
    // The ends of the double range.
    {"Largest", 1.7976931348623157e308, "1.7976931348623157e+308"},
    {"SmallestSubnormal", 5e-324, "5e-324"},
    {"SmallestNormal", 2.2250738585072014e-308, "2.2250738585072014e-308"},
};

class JsonDoubleTest : public testing::TestWithParam<DoubleCase> {};

TEST_P(JsonDoubleTest, Form) {
  std::string out = "x";  // appends, keeps what is there
  write_json_double(out, GetParam().value);
  EXPECT_EQ(out, std::string("x") + GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Numbers, JsonDoubleTest, testing::ValuesIn(kDoubleCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(JsonDoubleTest, BalanceOfTenToMinusSixFromDecimal) {
  Statement s = example_statement();
  s.opening_balance.amount = dec(1, 6);
  s.closing_balance.amount = dec(1, 5);
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\"openingBalance\": 1e-6,\n    \"closingBalance\": 0.00001,"),
            std::string::npos)
      << text;
}

// What the writer's output must satisfy for one finite, non-zero double:
// it reads back as the same double, its digit count is the shortest one,
// and it uses exponent notation exactly when the decimal exponent lies
// outside -5..15.
testing::AssertionResult number_form_holds(double x) {
  std::string out;
  write_json_double(out, x);
  double back = 0;
  const std::from_chars_result r = std::from_chars(out.data(), out.data() + out.size(), back);
  if (r.ec != std::errc() || r.ptr != out.data() + out.size()) {
    return testing::AssertionFailure() << out << " does not parse";
  }
  if (std::bit_cast<uint64_t>(back) != std::bit_cast<uint64_t>(x)) {
    return testing::AssertionFailure() << out << " reads back differently";
  }
  // Shortest digits and exponent from the library: "d.ddde+XX".
  char sci[40];
  const char* sci_end = std::to_chars(sci, sci + sizeof sci, std::fabs(x),
                                      std::chars_format::scientific).ptr;
  const std::string_view s(sci, static_cast<size_t>(sci_end - sci));
  const size_t epos = s.find('e');
  const size_t want_digits = epos - (epos > 1 ? 1 : 0);  // minus the '.'
  int e = 0;
  std::from_chars(s.data() + epos + (s[epos + 1] == '+' ? 2 : 1), s.data() + s.size(), e);

  std::string_view body(out);
  if (body.front() == '-') body.remove_prefix(1);
  const size_t out_e = body.find('e');
  const bool exponent_form = out_e != std::string_view::npos;
  if (exponent_form != (e < -5 || e > 15)) {
    return testing::AssertionFailure() << out << " has the wrong notation for exponent " << e;
  }
  // The significant digits of the output: drop '.', the exponent, leading
  // zeros, and the zeros that pad a whole number.
  std::string digits;
  for (char c : body.substr(0, out_e)) {
    if (c != '.') digits += c;
  }
  digits.erase(0, digits.find_first_not_of('0'));
  if (exponent_form) {
    if (body.size() > 1 && body[1] != '.' && body[1] != 'e') {
      return testing::AssertionFailure() << out << " has more than one digit before the point";
    }
  } else {
    digits.erase(digits.find_last_not_of('0') + 1);
  }
  if (digits.size() != want_digits) {
    return testing::AssertionFailure()
           << out << " has " << digits.size() << " digits, shortest is " << want_digits;
  }
  return testing::AssertionSuccess();
}

TEST(JsonDoubleTest, RandomDoublesReadBackShortest) {
  std::mt19937_64 rng(20240102);
  // Random bit patterns: every binade, subnormals included.
  int checked = 0;
  while (checked < 50000) {
    const double x = std::bit_cast<double>(rng());
    if (!std::isfinite(x) || x == 0.0) continue;
    ASSERT_TRUE(number_form_holds(x));
    ++checked;
  }
  // Random decimals of 1 to 17 digits with exponents -30..30, the range the
  // plain/exponent switch lives in.
  std::uniform_int_distribution<int> length(1, 17);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 50000; ++i) {
    std::string text = (i % 2) ? "-" : "";
    const int n = length(rng);
    text += static_cast<char>('1' + digit(rng) % 9);
    for (int k = 1; k < n; ++k) text += static_cast<char>('0' + digit(rng));
    text += 'e';
    text += std::to_string(exponent(rng));
    double x = 0;
    std::from_chars(text.data(), text.data() + text.size(), x);
    ASSERT_TRUE(number_form_holds(x)) << "from " << text;
  }
}

// Balance amounts are never negative as parsed; the D mark (an overdrawn
// account) makes them negative, a zero one too, as for a D statement line.
// The number form is chosen from the nearest double.
TEST(JsonExportTest, BalanceAmountsSignedByMark) {
  Statement s = example_statement();
  s.opening_balance = balance(DebitCreditMark::Debit, Date{2024, 1, 1}, "EUR", dec(25000));
  s.closing_balance.amount = dec(999999999999999900ULL);  // 9999999999999999,00
  s.closing_available_balance =
      balance(DebitCreditMark::Debit, Date{2024, 1, 3}, "EUR", dec(25000000000000000ULL, 0));  // 2.5e16
  s.forward_available_balance = balance(DebitCreditMark::Debit, Date{2024, 1, 4}, "EUR", dec(0));
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\"openingBalance\": -250.0,\n"
                      "    \"closingBalance\": 1e+16,\n"
                      "    \"closingAvailableBalance\": -2.5e+16,\n"
                      "    \"forwardAvailableBalance\": -0.0,\n"),
            std::string::npos)
      << text;
}

TEST(JsonExportTest, CodesSortedByUnsignedBytes) {
  Statement s = example_statement();
  // 0xC3 (a UTF-8 lead byte) sorts after every ASCII byte; a prefix sorts first.
  s.transactions[0].structured_details =
      details_of({{"\xC3\xA4", "u"}, {"z", "z"}, {"REMI", "r"}, {"REM", "p"}, {"2", "d"}});
  const std::string text = export_json({s});
  EXPECT_NE(text.find("\"structuredDetails\": {\n"
                      "          \"2\": \"d\",\n"
                      "          \"REM\": \"p\",\n"
                      "          \"REMI\": \"r\",\n"
                      "          \"z\": \"z\",\n"
                      "          \"\xC3\xA4\": \"u\"\n"
                      "        }\n"),
            std::string::npos)
      << text;
}

struct StringCase {
  const char* name;
  std::string_view text;
  const char* want;
};

const StringCase kStringCases[] = {
    {"Empty", "", R"("")"},
    {"Plain", "abc", R"("abc")"},
    {"Quote", "a\"b", R"("a\"b")"},
    {"Backslash", "a\\b", R"("a\\b")"},
    {"Backspace", "\b", R"("\b")"},
    {"Tab", "\t", R"("\t")"},
    {"LineFeed", "\n", R"("\n")"},
    {"FormFeed", "\f", R"("\f")"},
    {"CarriageReturn", "\r", R"("\r")"},
    {"Nul", std::string_view("a\0b", 3), R"("a\u0000b")"},
    {"One", "\x01", R"("\u0001")"},
    {"Escape", "\x1b", R"("\u001b")"},
    {"UnitSeparator", "\x1f", R"("\u001f")"},
    {"Delete", "\x7f", "\"\x7f\""},
    {"Slash", "a/b", R"("a/b")"},
    {"NonAscii", "M\xC3\xBCller \xE2\x82\xAC", "\"M\xC3\xBCller \xE2\x82\xAC\""},
    {"Mixed", "x\ty\"z\\", R"("x\ty\"z\\")"},
};

class JsonStringTest : public testing::TestWithParam<StringCase> {};

TEST_P(JsonStringTest, Escapes) {
  std::string out;
  write_json_string(out, GetParam().text);
  EXPECT_EQ(out, GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Strings, JsonStringTest, testing::ValuesIn(kStringCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(JsonExportTest, NarrativeEscapedInDetailsAndValues) {
  Statement s = example_statement();
  s.transactions[0].details = "a\tb\"c\\d\x1b/\xC3\xA4";
  s.transactions[0].structured_details = details_of({{"detail", "a\tb\"c\\d\x1b/\xC3\xA4"}});
  const std::string text = export_json({s});
  EXPECT_EQ(count_of(text, R"(a\tb\"c\\d\u001b/)"
                           "\xC3\xA4\""),
            2u)
      << text;
}

// ---------------------------------------------------------------- CSV

constexpr std::string_view kBom = "\xEF\xBB\xBF";
const std::string kCsvStart = std::string(kBom) +
    "Statement,Account,Currency,Date,EntryDate,Type,Reference,BankRef,Counterparty,"
    "CounterIBAN,Purpose,Amount,IsReversal\n";

TEST(CsvExportTest, EmptyListIsMarkAndHeader) {
  EXPECT_EQ(kCsvStart.size(), 3u + 116u);
  EXPECT_EQ(export_csv({}), kCsvStart);
}

TEST(CsvExportTest, StatementsWithoutTransactionsWriteNoRow) {
  Statement s = example_statement();
  s.transactions.clear();
  EXPECT_EQ(export_csv({s, s}), kCsvStart);
}

struct QuoteCase {
  const char* name;
  const char* cell;
  const char* want;
};

const QuoteCase kQuoteCases[] = {
    // Unchanged
    {"Empty", "", ""},
    {"Plain", "abc", "abc"},
    {"Tab", "a\tb", "a\tb"},
    {"Semicolon", "a;b", "a;b"},
    {"OuterSpaces", "  a  ", "  a  "},
    {"NonAscii", "\xC3\xBC", "\xC3\xBC"},
    // Quoted
    {"Comma", "a,b", "\"a,b\""},
    {"Quote", "A\"B", "\"A\"\"B\""},
    {"LineFeed", "a\nb", "\"a\nb\""},
    {"CarriageReturn", "a\rb", "\"a\rb\""},  // ends a row for most readers
    {"OnlyQuote", "\"", "\"\"\"\""},
    {"TwoQuotesAndComma", "\"x\",y", "\"\"\"x\"\",y\""},
    {"CarriageReturnLineFeed", "a\r\nb", "\"a\r\nb\""},
};

class CsvQuoteTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(CsvQuoteTest, Cell) {
  EXPECT_EQ(quote_csv_field(GetParam().cell), GetParam().want);
  std::string out = "x";
  append_csv_field(out, GetParam().cell);
  EXPECT_EQ(out, std::string("x") + GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Cells, CsvQuoteTest, testing::ValuesIn(kQuoteCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct CsvMarkCase {
  const char* name;
  DebitCreditMark mark;
  Decimal amount;
  const char* tail;  // Amount and IsReversal cells
};

const CsvMarkCase kCsvMarkCases[] = {
    {"Credit", DebitCreditMark::Credit, dec(1250), "12.50,N"},
    {"Debit", DebitCreditMark::Debit, dec(1250), "-12.50,N"},
    {"ReversalOfDebit", DebitCreditMark::ReversalOfDebit, dec(3, 0), "3.00,Y"},
    {"ReversalOfCredit", DebitCreditMark::ReversalOfCredit, dec(3, 0), "-3.00,Y"},
    {"DebitZero", DebitCreditMark::Debit, dec(0), "-0.00,N"},
    {"CreditZero", DebitCreditMark::Credit, dec(0), "0.00,N"},
    // Every fraction digit, never fewer than two.
    {"ThreeDecimalsKept", DebitCreditMark::Debit, dec(1239, 3), "-1.239,N"},
    {"TrailingZerosKept", DebitCreditMark::Credit, dec(10500, 3), "10.500,N"},
};

class CsvMarkTest : public testing::TestWithParam<CsvMarkCase> {};

// No entry date, no bank reference, no narrative: value date twice, empty
// BankRef, Counterparty and CounterIBAN, empty details as Purpose.
TEST_P(CsvMarkTest, Row) {
  Statement s = example_statement();
  s.transactions = {bare_transaction(GetParam().mark, GetParam().amount)};
  EXPECT_EQ(export_csv({s}), kCsvStart + "5,DE0012345678,EUR,2024-03-05,2024-03-05,NTRF,REF,,,,," +
                                 GetParam().tail + "\n");
}

INSTANTIATE_TEST_SUITE_P(Marks, CsvMarkTest, testing::ValuesIn(kCsvMarkCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(CsvExportTest, TwoStatementsThreeRows) {
  Statement first = example_statement();
  TransactionRecord quoted = bare_transaction(DebitCreditMark::Credit, dec(100));
  quoted.customer_reference = "A\"B";
  quoted.bank_reference = "BR,1";
  quoted.details = "rent, March\nsecond line";  // no structured_details: Purpose is details
  first.transactions.push_back(quoted);

  Statement second = example_statement();
  second.statement_number = "6";
  second.account_identification = "NL91ABNA0417164300";
  second.opening_balance.currency = "USD";
  second.closing_balance.currency = "GBP";  // rows carry the opening currency
  TransactionRecord cr = bare_transaction(DebitCreditMark::Debit, dec(7));
  cr.details = "carriage\rreturn";
  second.transactions = {cr};

  EXPECT_EQ(export_csv({first, second}),
            kCsvStart +
                "5,DE0012345678,EUR,2024-01-02,2024-01-02,NTRF,NONREF,B1,,,Payment for invoice,"
                "-99.50,N\n"
                "5,DE0012345678,EUR,2024-03-05,2024-03-05,NTRF,\"A\"\"B\",\"BR,1\",,,"
                "\"rent, March\nsecond line\",1.00,N\n"
                "6,NL91ABNA0417164300,USD,2024-03-05,2024-03-05,NTRF,REF,,,,"
                "\"carriage\rreturn\",-0.07,N\n");
}

TEST(CsvExportTest, SwiftCodesGiveCounterpartyIbanAndPurpose) {
  Statement s = example_statement();
  TransactionRecord t = bare_transaction(DebitCreditMark::Credit, dec(1000));
  t.entry_date = Date{2024, 3, 4};
  t.details = "/EREF/E1/NAME/Max, GmbH/IBAN/DE89370400440532013000/REMI/Invoice 7";
  t.structured_details = details_of({{"EREF", "E1"},
                                     {"NAME", "Max, GmbH"},
                                     {"IBAN", "DE89370400440532013000"},
                                     {"REMI", "Invoice 7"}});
  s.transactions = {t};
  EXPECT_EQ(export_csv({s}), kCsvStart +
                                 "5,DE0012345678,EUR,2024-03-05,2024-03-04,NTRF,REF,,"
                                 "\"Max, GmbH\",DE89370400440532013000,Invoice 7,10.00,N\n");
}

TEST(CsvExportTest, UnstructuredNarrativeIsThePurpose) {
  // The example's only code is "detail": no party, no IBAN, the text as purpose.
  EXPECT_EQ(export_csv({example_statement()}),
            kCsvStart +
                "5,DE0012345678,EUR,2024-01-02,2024-01-02,NTRF,NONREF,B1,,,Payment for invoice,"
                "-99.50,N\n");
}

// ---------------------------------------------------------------- camt.053

constexpr std::string_view kCamtHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.06\">\n"
    "  <BkToCstmrStmt>\n"
    "    <GrpHdr>\n"
    "      <MsgId>MT940-EXPORT</MsgId>\n"
    "      <CreDtTm>2026-01-01T00:00:00Z</CreDtTm>\n"
    "    </GrpHdr>\n";
constexpr std::string_view kCamtClosing = "  </BkToCstmrStmt>\n</Document>\n";

TEST(CamtExportTest, EmptyListIsHeaderAndClosing) {
  EXPECT_EQ(export_camt053({}), std::string(kCamtHeader) + std::string(kCamtClosing));
}

// A statement with four entries: a debit with party and IBAN (Cdtr), a
// reversal of debit with an IBAN only (DbtrAcct, no party), a credit without
// narrative map (raw details as Ustrd), a credit with empty details (no RmtInf).
// The opening balance has three decimals, all written.
TEST(CamtExportTest, FullStatementWholeText) {
  Statement s;
  s.transaction_reference = "REF&1";
  s.account_identification = "DE89370400440532013000";
  s.statement_number = "1";
  s.opening_balance = balance(DebitCreditMark::Debit, Date{2024, 1, 1}, "EUR", dec(1239, 3));
  s.closing_balance = balance(DebitCreditMark::Credit, Date{2024, 1, 31}, "USD", dec(50000));
  s.closing_available_balance =
      balance(DebitCreditMark::Credit, Date{2024, 2, 1}, "CHF", dec(1));  // not written

  TransactionRecord debit = bare_transaction(DebitCreditMark::Debit, dec(9950));
  debit.entry_date = Date{2024, 1, 2};
  debit.value_date = Date{2024, 1, 3};
  debit.transaction_type = "NMSC";
  debit.structured_details = details_of(
      {{"NAME", "A&B <C>"}, {"IBAN", "DE02120300000000202051"}, {"REMI", "Rent \"Jan\" 'x'"}});

  TransactionRecord iban_only = bare_transaction(DebitCreditMark::ReversalOfDebit, dec(100));
  iban_only.structured_details = details_of({{"IBAN", "NL91ABNA0417164300"}, {"REMI", "r"}});

  TransactionRecord raw = bare_transaction(DebitCreditMark::Credit, dec(1));
  raw.details = "free <text>";

  TransactionRecord empty = bare_transaction(DebitCreditMark::Credit, dec(0));

  s.transactions = {debit, iban_only, raw, empty};

  const std::string want = std::string(kCamtHeader) +
                           R"(    <Stmt>
      <Id>REF&amp;1</Id>
      <CreDtTm>2026-01-01T00:00:00Z</CreDtTm>
      <Acct>
        <Id>
          <IBAN>DE89370400440532013000</IBAN>
        </Id>
        <Ccy>EUR</Ccy>
      </Acct>
      <Bal>
        <Tp>
          <CdOrPrtry>
            <Cd>OPBD</Cd>
          </CdOrPrtry>
        </Tp>
        <Amt Ccy="EUR">1.239</Amt>
        <CdtDbtInd>DBIT</CdtDbtInd>
        <Dt>
          <Dt>2024-01-01</Dt>
        </Dt>
      </Bal>
      <Bal>
        <Tp>
          <CdOrPrtry>
            <Cd>CLBD</Cd>
          </CdOrPrtry>
        </Tp>
        <Amt Ccy="USD">500.00</Amt>
        <CdtDbtInd>CRDT</CdtDbtInd>
        <Dt>
          <Dt>2024-01-31</Dt>
        </Dt>
      </Bal>
      <Ntry>
        <NtryRef>TXN-1</NtryRef>
        <Amt Ccy="EUR">99.50</Amt>
        <CdtDbtInd>DBIT</CdtDbtInd>
        <RvslInd>false</RvslInd>
        <BookgDt>
          <Dt>2024-01-02</Dt>
        </BookgDt>
        <ValDt>
          <Dt>2024-01-03</Dt>
        </ValDt>
        <BkTxCd>
          <Prtry>
            <Cd>NMSC</Cd>
          </Prtry>
        </BkTxCd>
        <NtryDtls>
          <TxDtls>
            <RltdPties>
              <Cdtr>
                <Pty>
                  <Nm>A&amp;B &lt;C&gt;</Nm>
                </Pty>
              </Cdtr>
              <CdtrAcct>
                <Id>
                  <IBAN>DE02120300000000202051</IBAN>
                </Id>
              </CdtrAcct>
            </RltdPties>
            <RmtInf>
              <Ustrd>Rent &quot;Jan&quot; &apos;x&apos;</Ustrd>
            </RmtInf>
          </TxDtls>
        </NtryDtls>
      </Ntry>
      <Ntry>
        <NtryRef>TXN-2</NtryRef>
        <Amt Ccy="EUR">1.00</Amt>
        <CdtDbtInd>CRDT</CdtDbtInd>
        <RvslInd>true</RvslInd>
        <BookgDt>
          <Dt>2024-03-05</Dt>
        </BookgDt>
        <ValDt>
          <Dt>2024-03-05</Dt>
        </ValDt>
        <BkTxCd>
          <Prtry>
            <Cd>NTRF</Cd>
          </Prtry>
        </BkTxCd>
        <NtryDtls>
          <TxDtls>
            <RltdPties>
              <DbtrAcct>
                <Id>
                  <IBAN>NL91ABNA0417164300</IBAN>
                </Id>
              </DbtrAcct>
            </RltdPties>
            <RmtInf>
              <Ustrd>r</Ustrd>
            </RmtInf>
          </TxDtls>
        </NtryDtls>
      </Ntry>
      <Ntry>
        <NtryRef>TXN-3</NtryRef>
        <Amt Ccy="EUR">0.01</Amt>
        <CdtDbtInd>CRDT</CdtDbtInd>
        <RvslInd>false</RvslInd>
        <BookgDt>
          <Dt>2024-03-05</Dt>
        </BookgDt>
        <ValDt>
          <Dt>2024-03-05</Dt>
        </ValDt>
        <BkTxCd>
          <Prtry>
            <Cd>NTRF</Cd>
          </Prtry>
        </BkTxCd>
        <NtryDtls>
          <TxDtls>
            <RmtInf>
              <Ustrd>free &lt;text&gt;</Ustrd>
            </RmtInf>
          </TxDtls>
        </NtryDtls>
      </Ntry>
      <Ntry>
        <NtryRef>TXN-4</NtryRef>
        <Amt Ccy="EUR">0.00</Amt>
        <CdtDbtInd>CRDT</CdtDbtInd>
        <RvslInd>false</RvslInd>
        <BookgDt>
          <Dt>2024-03-05</Dt>
        </BookgDt>
        <ValDt>
          <Dt>2024-03-05</Dt>
        </ValDt>
        <BkTxCd>
          <Prtry>
            <Cd>NTRF</Cd>
          </Prtry>
        </BkTxCd>
        <NtryDtls>
          <TxDtls>
          </TxDtls>
        </NtryDtls>
      </Ntry>
    </Stmt>
)" + std::string(kCamtClosing);
  EXPECT_EQ(export_camt053({s}), want);
}

struct CamtPartyCase {
  const char* name;
  DebitCreditMark mark;
  const char* indicators;  // CdtDbtInd and RvslInd lines
  const char* party;       // the party and account element name
};

const CamtPartyCase kCamtPartyCases[] = {
    {"Credit", DebitCreditMark::Credit,
     "<CdtDbtInd>CRDT</CdtDbtInd>\n        <RvslInd>false</RvslInd>", "Dbtr"},
    {"Debit", DebitCreditMark::Debit,
     "<CdtDbtInd>DBIT</CdtDbtInd>\n        <RvslInd>false</RvslInd>", "Cdtr"},
    {"ReversalOfDebit", DebitCreditMark::ReversalOfDebit,
     "<CdtDbtInd>CRDT</CdtDbtInd>\n        <RvslInd>true</RvslInd>", "Dbtr"},
    {"ReversalOfCredit", DebitCreditMark::ReversalOfCredit,
     "<CdtDbtInd>DBIT</CdtDbtInd>\n        <RvslInd>true</RvslInd>", "Cdtr"},
};

class CamtPartyTest : public testing::TestWithParam<CamtPartyCase> {};

TEST_P(CamtPartyTest, MarkChoosesIndicatorsAndParty) {
  Statement s = example_statement();
  TransactionRecord t = bare_transaction(GetParam().mark, dec(1250));
  t.structured_details = details_of({{"NAME", "Max"}, {"IBAN", "DE02"}});
  s.transactions = {t};
  const std::string text = export_camt053({s});
  const std::string p = GetParam().party;
  EXPECT_NE(text.find("<Amt Ccy=\"EUR\">12.50</Amt>\n        " + std::string(GetParam().indicators)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("            <RltdPties>\n              <" + p +
                      ">\n                <Pty>\n                  <Nm>Max</Nm>\n"
                      "                </Pty>\n              </" + p + ">\n              <" + p +
                      "Acct>\n                <Id>\n                  <IBAN>DE02</IBAN>\n"
                      "                </Id>\n              </" + p +
                      "Acct>\n            </RltdPties>\n          </TxDtls>\n"),
            std::string::npos)
      << text;
}

INSTANTIATE_TEST_SUITE_P(Marks, CamtPartyTest, testing::ValuesIn(kCamtPartyCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(CamtExportTest, PartyWithoutIbanHasNoAccount) {
  Statement s = example_statement();
  TransactionRecord t = bare_transaction(DebitCreditMark::Credit, dec(1));
  t.structured_details = details_of({{"NAME", "Max"}});
  s.transactions = {t};
  const std::string text = export_camt053({s});
  EXPECT_NE(text.find("              </Dbtr>\n            </RltdPties>\n          </TxDtls>\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Acct>\n                <Id>"), std::string::npos);
}

TEST(CamtExportTest, UnstructuredNarrativeIsTheRemittanceText) {
  const std::string text = export_camt053({example_statement()});
  EXPECT_NE(text.find("        <NtryDtls>\n          <TxDtls>\n            <RmtInf>\n"
                      "              <Ustrd>Payment for invoice</Ustrd>\n            </RmtInf>\n"
                      "          </TxDtls>\n"),
            std::string::npos)
      << text;
}

TEST(CamtExportTest, EntryRefsRestartPerStatement) {
  Statement first = example_statement();
  first.transactions.push_back(example_transaction());
  Statement second = example_statement();
  const std::string text = export_camt053({first, second});
  const size_t second_stmt = text.find("<Stmt>", text.find("</Stmt>"));
  ASSERT_NE(second_stmt, std::string::npos);
  EXPECT_EQ(count_of(text, "<NtryRef>TXN-1</NtryRef>"), 2u);
  EXPECT_LT(text.find("<NtryRef>TXN-2</NtryRef>"), second_stmt);
  EXPECT_GT(text.rfind("<NtryRef>TXN-1</NtryRef>"), second_stmt);
  EXPECT_EQ(count_of(text, "<Stmt>"), 2u);
}

TEST(CamtExportTest, StatementWithoutTransactionsHasNoEntry) {
  Statement s = example_statement();
  s.transactions.clear();
  const std::string text = export_camt053({s});
  EXPECT_EQ(text.find("<Ntry>"), std::string::npos);
  EXPECT_NE(text.find("      </Bal>\n    </Stmt>\n  </BkToCstmrStmt>\n</Document>\n"),
            std::string::npos);
}

TEST(CamtExportTest, MarkupInCurrencyEscapedEverywhere) {
  Statement s = example_statement();
  s.opening_balance.currency = "E&\"";
  const std::string text = export_camt053({s});
  EXPECT_NE(text.find("<Ccy>E&amp;&quot;</Ccy>"), std::string::npos);
  // The opening balance and the entry carry the opening currency.
  EXPECT_EQ(count_of(text, "<Amt Ccy=\"E&amp;&quot;\">"), 2u);
  EXPECT_EQ(count_of(text, "<Amt Ccy=\"EUR\">900.50</Amt>"), 1u);
}

// The currency is any three bytes: in the Ccy element a tab stays, in the
// Ccy attributes it is a character reference, so both read back as "E\tR".
TEST(CamtExportTest, WhiteSpaceInCurrencyReferencedInAttributes) {
  Statement s = example_statement();
  s.opening_balance.currency = "E\tR";
  s.closing_balance.currency = "\r\n ";
  const std::string text = export_camt053({s});
  EXPECT_NE(text.find("<Ccy>E\tR</Ccy>"), std::string::npos);
  EXPECT_EQ(count_of(text, "<Amt Ccy=\"E&#9;R\">"), 2u);  // opening balance and the entry
  EXPECT_EQ(count_of(text, "<Amt Ccy=\"&#13;&#10; \">900.50</Amt>"), 1u);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(CamtExportTest, BalanceBlock) {
  std::string out = "x\n";
  write_camt_balance(out, "CLBD",
                     balance(DebitCreditMark::Debit, Date{2023, 12, 31}, "<&>", dec(10000)));
  EXPECT_EQ(out, R"(x
      <Bal>
        <Tp>
          <CdOrPrtry>
            <Cd>CLBD</Cd>
          </CdOrPrtry>
        </Tp>
        <Amt Ccy="&lt;&amp;&gt;">100.00</Amt>
        <CdtDbtInd>DBIT</CdtDbtInd>
        <Dt>
          <Dt>2023-12-31</Dt>
        </Dt>
      </Bal>
)");
}

struct CamtAmountCase {
  const char* name;
  Decimal amount;
  const char* want;  // the Amt text
};

const CamtAmountCase kCamtAmountCases[] = {
    {"ThreeDecimals", dec(99999, 3), "99.999"},  // KWD
    {"OneDecimalPadded", dec(105, 1), "10.50"},
    {"TrailingZerosKept", dec(10500, 3), "10.500"},
    {"SmallestPositive", dec(1, 28), "0.0000000000000000000000000001"},
    // A negative stored value keeps its sign; the indicator follows the mark alone.
    {"NegativeStoredValue", dec(51239, 4, /*negative=*/true), "-5.1239"},
};

class CamtAmountTest : public testing::TestWithParam<CamtAmountCase> {};

TEST_P(CamtAmountTest, BalanceHoldsEveryDigit) {
  std::string out;
  write_camt_balance(out, "OPBD",
                     balance(DebitCreditMark::Credit, Date{2024, 1, 1}, "KWD", GetParam().amount));
  EXPECT_NE(out.find(std::string("        <Amt Ccy=\"KWD\">") + GetParam().want +
                     "</Amt>\n        <CdtDbtInd>CRDT</CdtDbtInd>\n"),
            std::string::npos)
      << out;
}

INSTANTIATE_TEST_SUITE_P(Amounts, CamtAmountTest, testing::ValuesIn(kCamtAmountCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct XmlCase {
  const char* name;
  const char* text;
  const char* want;            // element text
  const char* want_attribute;  // attribute value; nullptr: as the element text
};

const XmlCase kXmlCases[] = {
    {"Empty", "", "", nullptr},
    {"Plain", "abc", "abc", nullptr},
    {"Ampersand", "a&b", "a&amp;b", nullptr},
    {"EntityEscapedAgain", "&amp;", "&amp;amp;", nullptr},
    {"LessThan", "<", "&lt;", nullptr},
    {"GreaterThan", ">", "&gt;", nullptr},
    {"Quote", "\"", "&quot;", nullptr},
    {"Apostrophe", "'", "&apos;", nullptr},
    {"All", "A&B <C>\"'", "A&amp;B &lt;C&gt;&quot;&apos;", nullptr},
    // A reader gives back a raw tab and line feed of element text, but turns a
    // carriage return into a line feed, and all three into spaces in an attribute.
    {"WhiteSpace", "a\tb\nc\rd\r\ne", "a\tb\nc&#13;d&#13;\ne",
     "a&#9;b&#10;c&#13;d&#13;&#10;e"},
    {"WhiteSpaceNextToMarkup", "\r&\t<", "&#13;&amp;\t&lt;", "&#13;&amp;&#9;&lt;"},
    {"NonAsciiKept", "\xC3\xA4", "\xC3\xA4", nullptr},
    {"ControlReplaced", "a\x01" "b\x03", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD", nullptr},
    {"ControlNextToMarkup", "&\x1f<", "&amp;\xEF\xBF\xBD&lt;", nullptr},
    {"NonCharactersReplaced", "\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD", nullptr},
    // U+FFFD, U+FFFC, U+F000 and a cut-off EF BF stay.
    {"OtherEFSequencesKept", "\xEF\xBF\xBD\xEF\xBF\xBC\xEF\x80\x80\xEF\xBF",
     "\xEF\xBF\xBD\xEF\xBF\xBC\xEF\x80\x80\xEF\xBF", nullptr},
};

class XmlEscapeTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlEscapeTest, Escapes) {
  const XmlCase& c = GetParam();
  EXPECT_EQ(escape_xml(c.text), c.want);
  std::string out = "x";
  append_escaped_xml(out, c.text);
  EXPECT_EQ(out, std::string("x") + c.want);
  out = "x";
  append_escaped_xml_attribute(out, c.text);
  EXPECT_EQ(out, std::string("x") + (c.want_attribute ? c.want_attribute : c.want));
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlEscapeTest, testing::ValuesIn(kXmlCases),
                         [](const auto& p) { return std::string(p.param.name); });

// Every character that XML 1.0 cannot hold, as UTF-8.
std::vector<std::string> not_xml_chars() {
  std::vector<std::string> chars;
  for (char c = 0; c < 0x20; ++c) {
    if (c != '\t' && c != '\n' && c != '\r') chars.emplace_back(1, c);
  }
  chars.emplace_back("\xEF\xBF\xBE");  // U+FFFE
  chars.emplace_back("\xEF\xBF\xBF");  // U+FFFF
  return chars;
}

TEST(XmlReplacementTest, EveryCharacterXmlCannotHoldBecomesReplacementCharacter) {
  const std::vector<std::string> chars = not_xml_chars();
  ASSERT_EQ(chars.size(), 31u);
  for (const std::string& c : chars) {
    EXPECT_EQ(escape_xml("a" + c + "b"), "a\xEF\xBF\xBD" "b") << int(c[0]);
  }
}

// A name, a purpose and the currency attribute: the document holds U+FFFD
// where the record holds the character.
TEST(CamtExportTest, CharactersXmlCannotHoldReplacedInElementsAndAttributes) {
  for (const std::string& c : not_xml_chars()) {
    Statement s = example_statement();
    s.opening_balance.currency = "E" + c + "R";
    TransactionRecord t = bare_transaction(DebitCreditMark::Debit, dec(1));
    t.structured_details = details_of({{"NAME", "Max" + c}, {"REMI", c + "Rent"}});
    s.transactions = {t};
    const std::string text = export_camt053({s});
    EXPECT_EQ(text.find(c), std::string::npos) << int(c[0]);
    EXPECT_EQ(count_of(text, "<Amt Ccy=\"E\xEF\xBF\xBDR\">"), 2u) << int(c[0]);
    EXPECT_EQ(count_of(text, "<Nm>Max\xEF\xBF\xBD</Nm>"), 1u) << int(c[0]);
    EXPECT_EQ(count_of(text, "<Ustrd>\xEF\xBF\xBDRent</Ustrd>"), 1u) << int(c[0]);
  }
}

}  // namespace
}  // namespace vardel
