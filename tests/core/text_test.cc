// Trimming by the White_Space property: every space character at either end,
// characters that only look like space, and malformed UTF-8 at the ends.
#include "core/text.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vardel {
namespace {

struct SpaceChar {
  const char* name;
  const char* utf8;
};

void PrintTo(const SpaceChar& c, std::ostream* os) { *os << c.name; }

// Every character with the White_Space property.
const SpaceChar kWhiteSpace[] = {
    {"Tab", "\t"},
    {"LineFeed", "\n"},
    {"VerticalTab", "\v"},
    {"FormFeed", "\f"},
    {"CarriageReturn", "\r"},
    {"Space", " "},
    {"NextLine", "\xC2\x85"},
    {"NoBreakSpace", "\xC2\xA0"},
    {"OghamSpaceMark", "\xE1\x9A\x80"},
    {"EnQuad", "\xE2\x80\x80"},
    {"EmQuad", "\xE2\x80\x81"},
    {"EnSpace", "\xE2\x80\x82"},
    {"EmSpace", "\xE2\x80\x83"},
    {"ThreePerEmSpace", "\xE2\x80\x84"},
    {"FourPerEmSpace", "\xE2\x80\x85"},
    {"SixPerEmSpace", "\xE2\x80\x86"},
    {"FigureSpace", "\xE2\x80\x87"},
    {"PunctuationSpace", "\xE2\x80\x88"},
    {"ThinSpace", "\xE2\x80\x89"},
    {"HairSpace", "\xE2\x80\x8A"},
    {"LineSeparator", "\xE2\x80\xA8"},
    {"ParagraphSeparator", "\xE2\x80\xA9"},
    {"NarrowNoBreakSpace", "\xE2\x80\xAF"},
    {"MediumMathematicalSpace", "\xE2\x81\x9F"},
    {"IdeographicSpace", "\xE3\x80\x80"},
};

class WhiteSpaceTest : public testing::TestWithParam<SpaceChar> {};

TEST_P(WhiteSpaceTest, RemovedAtBothEndsKeptInside) {
  const std::string sp = GetParam().utf8;
  EXPECT_EQ(trim_white_space(sp + "a" + sp + "b" + sp), "a" + sp + "b");
  EXPECT_EQ(trim_white_space(sp + sp + "x"), "x");
  EXPECT_EQ(trim_white_space("x" + sp + sp), "x");
  EXPECT_EQ(trim_white_space(sp), "");
  // Next to a multi-byte character that is not space.
  EXPECT_EQ(trim_white_space(sp + "\xE2\x82\xAC" + sp), "\xE2\x82\xAC");
}

INSTANTIATE_TEST_SUITE_P(Trim, WhiteSpaceTest, testing::ValuesIn(kWhiteSpace),
                         [](const auto& p) { return std::string(p.param.name); });

struct KeptCase {
  const char* name;
  std::string text;  // never changed by trimming
};

void PrintTo(const KeptCase& c, std::ostream* os) { *os << c.name; }

// Characters next to the space ranges, or commonly mistaken for space, and
// malformed or truncated encodings of space characters.
const KeptCase kKept[] = {
    {"Empty", ""},
    {"Nul", std::string(1, '\0')},
    {"UnitSeparator", "\x1F"},
    {"Delete", "\x7F"},
    {"Control0084", "\xC2\x84"},
    {"Control0086", "\xC2\x86"},
    {"ZeroWidthSpace", "\xE2\x80\x8B"},
    {"ZeroWidthJoiner", "\xE2\x80\x8D"},
    {"WordJoiner", "\xE2\x81\xA0"},
    {"MongolianVowelSeparator", "\xE1\xA0\x8E"},
    {"ByteOrderMark", "\xEF\xBB\xBF"},
    {"IdeographicComma", "\xE3\x80\x81"},
    {"TruncatedNoBreakSpace", "\xC2"},
    {"TruncatedIdeographicSpace", "\xE3\x80"},
    {"LoneContinuation", "\xA0"},
    {"ContinuationsOfEnQuad", "\x80\x80"},
    {"OverlongSpace", "\xC0\xA0"},
    {"OverlongNoBreakSpace", "\xE0\x82\xA0"},
};

class KeptTest : public testing::TestWithParam<KeptCase> {};

TEST_P(KeptTest, NotTrimmed) {
  const std::string& t = GetParam().text;
  EXPECT_EQ(trim_white_space(t), t);
  EXPECT_EQ(trim_white_space(" " + t + " "), t);
}

INSTANTIATE_TEST_SUITE_P(Trim, KeptTest, testing::ValuesIn(kKept),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(TrimTest, ReturnsViewIntoInput) {
  std::string text = " \xC2\xA0 ab \xE3\x80\x80";
  std::string_view t = trim_white_space(text);
  EXPECT_EQ(t, "ab");
  EXPECT_EQ(t.data(), text.data() + 4);
}

// The view ends in the middle of a space character: the bytes beyond it
// must not be read, and the partial character is not space.
TEST(TrimTest, StopsAtViewEnd) {
  const std::string buffer = "ab\xE3\x80\x80";
  EXPECT_EQ(trim_white_space(std::string_view(buffer.data(), 4)), "ab\xE3\x80");
  EXPECT_EQ(trim_white_space(std::string_view(buffer.data(), 3)), "ab\xE3");
  // The view starts in the middle of one.
  EXPECT_EQ(trim_white_space(std::string_view(buffer.data() + 3, 2)), "\x80\x80");
}

}  // namespace
}  // namespace vardel
