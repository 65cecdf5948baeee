// The map of a decoded narrative: byte order of codes, replacement, and
// views that survive copies and moves of the map.
#include "core/structured_details.hpp"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vardel {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs entries_of(const StructuredDetails& details) {
  Pairs out;
  for (const StructuredDetails::Entry& e : details) out.emplace_back(e.code, e.value);
  return out;
}

StructuredDetails map_of(const Pairs& pairs) {
  StructuredDetails details;
  for (const auto& [code, value] : pairs) details.insert_or_assign(code, value);
  return details;
}

struct OrderCase {
  const char* name;
  Pairs inserted;
  Pairs expected;  // in iteration order
};

const OrderCase kOrderCases[] = {
    {"Empty", {}, {}},
    {"Ascending",
     {{"20", "a"}, {"21", "b"}, {"EREF", "e"}},
     {{"20", "a"}, {"21", "b"}, {"EREF", "e"}}},
    // Lower case sorts after capitals and digits; the empty code first.
    {"Unordered",
     {{"gvc", "166"}, {"20", "x"}, {"NAME", "n"}, {"", "empty"}, {"00", "y"}},
     {{"", "empty"}, {"00", "y"}, {"20", "x"}, {"NAME", "n"}, {"gvc", "166"}}},
    // Bytes compare unsigned: a UTF-8 lead byte sorts after ASCII.
    {"UnsignedBytes", {{"\xC3\xA4", "ae"}, {"z", "zed"}}, {{"z", "zed"}, {"\xC3\xA4", "ae"}}},
    {"PrefixFirst",
     {{"200", "b"}, {"20", "a"}, {"2", "c"}},
     {{"2", "c"}, {"20", "a"}, {"200", "b"}}},
    // Sizes of 128 bytes and more take more than one byte of the record.
    {"LongCodesAndValues",
     {{std::string(200, 'K'), std::string(20000, 'v')}, {"A", std::string(128, 'a')},
      {"B", std::string(127, 'b')}},
     {{"A", std::string(128, 'a')}, {"B", std::string(127, 'b')},
      {std::string(200, 'K'), std::string(20000, 'v')}}},
    // A later value replaces the earlier one, at the end and in the middle.
    {"ReplaceLast", {{"A", "1"}, {"B", "2"}, {"B", "3"}}, {{"A", "1"}, {"B", "3"}}},
    {"ReplaceMiddle",
     {{"A", "1"}, {"B", "2"}, {"C", "3"}, {"B", "longer than before"}, {"A", ""}},
     {{"A", ""}, {"B", "longer than before"}, {"C", "3"}}},
};

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class OrderTest : public testing::TestWithParam<OrderCase> {};

TEST_P(OrderTest, IteratesCodesInByteOrderWithLastValue) {
  const OrderCase& c = GetParam();
  StructuredDetails details = map_of(c.inserted);
  EXPECT_EQ(entries_of(details), c.expected);
  EXPECT_EQ(details.size(), c.expected.size());
  EXPECT_EQ(details.empty(), c.expected.empty());
  for (const auto& [code, value] : c.expected) EXPECT_EQ(details.find(code), value) << code;
}

INSTANTIATE_TEST_SUITE_P(Maps, OrderTest, testing::ValuesIn(kOrderCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(StructuredDetailsTest, FindTellsAbsentFromEmptyValue) {
  StructuredDetails details = map_of({{"NAME", ""}, {"EREF", "E-1"}});
  ASSERT_TRUE(details.find("NAME"));
  EXPECT_EQ(*details.find("NAME"), "");
  EXPECT_FALSE(details.find("IBAN"));
  EXPECT_FALSE(details.find("NAM"));
  EXPECT_FALSE(details.find("NAMES"));
  EXPECT_FALSE(StructuredDetails().find(""));
}

// Equality looks at entries only, not at the bytes a replaced value left.
TEST(StructuredDetailsTest, EqualityIgnoresReplacedValues) {
  StructuredDetails replaced = map_of({{"A", "old value"}, {"B", "2"}, {"A", "1"}});
  StructuredDetails direct = map_of({{"B", "2"}, {"A", "1"}});
  EXPECT_EQ(replaced, direct);
  EXPECT_NE(replaced, map_of({{"A", "1"}, {"B", "3"}}));
  EXPECT_NE(replaced, map_of({{"A", "1"}}));
  EXPECT_NE(map_of({{"AB", ""}}), map_of({{"A", "B"}}));
}

// Short values sit in the string's inline buffer, whose address changes on
// a move: entries must still read the right bytes afterwards.
TEST(StructuredDetailsTest, CopiesAndMovesKeepEntries) {
  const Pairs want = {{"A", "x"}, {"B", "y"}};
  StructuredDetails original = map_of(want);
  StructuredDetails copy = original;
  StructuredDetails moved = std::move(original);
  EXPECT_EQ(entries_of(copy), want);
  EXPECT_EQ(entries_of(moved), want);
  std::vector<StructuredDetails> grown;
  for (int i = 0; i < 100; ++i) grown.push_back(copy);  // reallocates, moving elements
  for (const StructuredDetails& d : grown) EXPECT_EQ(entries_of(d), want);
}

// A reservation is a hint: filling past it, with sizes that take several
// bytes each, keeps every entry.
TEST(StructuredDetailsTest, FillsPastItsReservation) {
  StructuredDetails details;
  details.reserve(1, 3);
  const Pairs want = {{"A", std::string(300, 'a')}, {"B", ""}, {"C", std::string(70000, 'c')}};
  for (const auto& [code, value] : want) details.insert_or_assign(code, value);
  EXPECT_EQ(entries_of(details), want);
}

}  // namespace
}  // namespace vardel
