// The slash-structured, German GVC and angular narrative decoders, and the
// decoder chains chosen by resolver name.
#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/decoders/angular.hpp"
#include "core/decoders/decoder.hpp"
#include "core/decoders/german_gvc.hpp"
#include "core/decoders/swift_structured.hpp"
#include "core/structured_details.hpp"

namespace vardel {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
constexpr auto kDeclines = std::nullopt;

struct Case {
  const char* name;
  std::string narrative;
  std::optional<Pairs> expected;  // every entry of the map; nullopt: declined
};

void PrintTo(const Case& c, std::ostream* os) { *os << testing::PrintToString(c.narrative); }

// The map's entries as (code, value) pairs, in the map's own order.
Pairs entries_of(const StructuredDetails& details) {
  Pairs out;
  for (const auto& entry : details) out.emplace_back(entry.code, entry.value);
  return out;
}

Pairs sorted(Pairs pairs) {
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

void expect_decodes(const Decoder& decoder, const Case& c) {
  std::optional<StructuredDetails> got = decoder.decode(c.narrative);
  if (!c.expected) {
    EXPECT_FALSE(got) << "accepted, giving " << testing::PrintToString(entries_of(*got));
    return;
  }
  ASSERT_TRUE(got) << "declined";
  EXPECT_EQ(entries_of(*got), sorted(*c.expected));
}

std::string case_name(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// ---------------------------------------------------------------------------
// SWIFT-structured

const Case kSwiftCases[] = {
    {"ThreeMarkers", "/EREF/E-1/REMI/Invoice 7 /NAME/Max Muster",
     Pairs{{"EREF", "E-1"}, {"REMI", "Invoice 7"}, {"NAME", "Max Muster"}}},
    {"ValueShapedLikeKey", "/EREF/ABC/NAME/X Y",
     Pairs{{"EREF", "ABC"}, {"ABC", "NAME"}, {"NAME", "X Y"}}},
    {"FirstPieceIsKey", "ABC/x/EREF/1", Pairs{{"ABC", "x"}, {"EREF", "1"}}},
    {"TrailingEmptyValue", "EREF/1/IBAN/", Pairs{{"EREF", "1"}, {"IBAN", ""}}},
    {"LowerCaseMarker", "/eref/1", kDeclines},
    {"KeyShapeWithoutMarker", "ABC/DEF", kDeclines},
    {"MarkerAlone", "/REMI/", Pairs{{"REMI", ""}}},
    {"LaterValueReplaces", "/REMI/a/REMI/b", Pairs{{"REMI", "b"}}},
    {"KeyLengths", "/IBAN/X/SEPA/Y/ABCDE/Z", Pairs{{"IBAN", "X"}, {"SEPA", "Y"}}},
    {"ValueTrimmed", "/NAME/  Anna  /", Pairs{{"NAME", "Anna"}}},
    {"KeyWithSpaceIsNoKey", "/NAME /x/BIC/y", Pairs{{"BIC", "y"}}},
    {"SlashCutsValue", "/REMI/INV 2023/11 PAID", Pairs{{"REMI", "INV 2023"}}},
    {"EmptyBicThenIban", "/BIC//IBAN/DE00 1234 ", Pairs{{"BIC", ""}, {"IBAN", "DE00 1234"}}},
    {"NonAsciiCapitalIsNoKey", "/\xC3\x84" "BC/x/EREF/y", Pairs{{"EREF", "y"}}},
    {"EmptyPiecesAround", "//EREF//", Pairs{{"EREF", ""}}},
    // Each marker alone is enough, wherever it stands.
    {"BicMarkerOnly", "x /BIC/ABCDEFGH", Pairs{{"BIC", "ABCDEFGH"}}},
    {"IbanMarkerOnly", "pay/IBAN/DE02", Pairs{{"IBAN", "DE02"}}},
    {"MarkerWithoutLeadingSlash", "NAME/x", kDeclines},
    {"Empty", "", kDeclines},
    {"DigitInKeyIsNoKey", "/EREF/1/AB1/x", Pairs{{"EREF", "1"}}},
    // Only the value is trimmed, and by White_Space: U+00A0 and U+3000 go,
    // U+200B (zero width space, no White_Space) stays.
    {"UnicodeSpacesTrimmed", "/NAME/\xC2\xA0" "Anna\xE3\x80\x80",
     Pairs{{"NAME", "Anna"}}},
    {"ZeroWidthSpaceKept", "/NAME/\xE2\x80\x8B" "Anna", Pairs{{"NAME", "\xE2\x80\x8B" "Anna"}}},
};

class SwiftStructuredTest : public testing::TestWithParam<Case> {};

TEST_P(SwiftStructuredTest, Decodes) { expect_decodes(SwiftStructuredDecoder(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Narratives, SwiftStructuredTest, testing::ValuesIn(kSwiftCases),
                         case_name);

// Keys arrive in descending order: each would land at the front of the map.
TEST(SwiftStructuredManyKeysTest, KeepsEveryKeyAndTheLastValue) {
  std::string narrative = "/EREF/e";
  for (char a = 'Z'; a >= 'A'; --a) {
    for (char b = 'Z'; b >= 'A'; --b) {
      narrative += '/';
      narrative += {'K', a, b};
      narrative += "/v";
      narrative += {a, b};
    }
  }
  narrative += "/KZZ/last";
  std::optional<StructuredDetails> got = SwiftStructuredDecoder().decode(narrative);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->size(), 26u * 26u + 1u);
  ASSERT_TRUE(got->find("KAB"));
  EXPECT_EQ(*got->find("KAB"), "vAB");
  ASSERT_TRUE(got->find("KZZ"));
  EXPECT_EQ(*got->find("KZZ"), "last");
}

// ---------------------------------------------------------------------------
// German GVC

const Case kGvcCases[] = {
    {"FullNarrative",
     "166?00GUTSCHRIFT?20EREF+123?21SVWZ+Miete ?22Januar?30BANKDEFF?31DE00123?32Max "
     "Muster?33GmbH",
     Pairs{{"gvc", "166"},
           {"00", "GUTSCHRIFT"},
           {"20", "EREF+123"},
           {"21", "SVWZ+Miete"},
           {"22", "Januar"},
           {"30", "BANKDEFF"},
           {"31", "DE00123"},
           {"32", "Max Muster"},
           {"33", "GmbH"},
           {"REMI_COMBINED", "EREF+123 SVWZ+Miete Januar"}}},
    {"RemittanceInTextOrder", "?21b?20a?20c",
     Pairs{{"21", "b"}, {"20", "c"}, {"REMI_COMBINED", "b a c"}}},
    {"OnlyTwentiesCombined", "?20a?19b?29c",
     Pairs{{"20", "a"}, {"19", "b"}, {"29", "c"}, {"REMI_COMBINED", "a c"}}},
    {"NoRemittance", "?19a?30b", Pairs{{"19", "a"}, {"30", "b"}}},
    {"NoQuestionMark", "166", kDeclines},
    {"NoDigitPiece", "166?X1abc", kDeclines},
    {"OneDigitPiece", "?2", kDeclines},
    {"LoneQuestionMark", "?", kDeclines},
    {"TwoQuestionMarks", "??", kDeclines},
    {"EmptyRemittance", "?20", Pairs{{"20", ""}, {"REMI_COMBINED", ""}}},
    {"EmptyFirstElement", "?20 ?21x",
     Pairs{{"20", ""}, {"21", "x"}, {"REMI_COMBINED", " x"}}},
    {"LeadingZeroGvcAndEmptyLastPiece", "051?20?",
     Pairs{{"gvc", "051"}, {"20", ""}, {"REMI_COMBINED", ""}}},
    {"GvcRunStopsAtLetter", "12AB34?00x", Pairs{{"gvc", "12"}, {"00", "x"}}},
    {"GvcNotAfterSpace", " 166?20x", Pairs{{"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"DigitLetterIsNoCode", "?1A?20x", Pairs{{"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"ThirdDigitIsValue", "?207", Pairs{{"20", "7"}, {"REMI_COMBINED", "7"}}},
    {"EmptyPieceBetween", "?20a??21 b ",
     Pairs{{"20", "a"}, {"21", "b"}, {"REMI_COMBINED", "a b"}}},
    {"LaterCodeReplaces", "?00 Abc ?00 Def", Pairs{{"00", "Def"}}},
    {"TwoByteCharIsNoCode", "?20x?\xC3\xA9", Pairs{{"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"UnicodeSpacesTrimmed", "?20\xC2\xA0x\xE2\x80\x83",
     Pairs{{"20", "x"}, {"REMI_COMBINED", "x"}}},
    // Byte 2 of these pieces falls inside a multi-byte character: never a
    // sub-field, wherever it stands.
    {"CutInsideTwoByteCharOnly", "?1\xC3\xA9", kDeclines},
    {"CutInsideEuroSignOnly", "?\xE2\x82\xAC" "uro", kDeclines},
    {"CutInsideCharBeforeSubField", "?1\xC3\xA9?20x",
     Pairs{{"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"CutInsideCharAfterSubField", "9?20x?\xE2\x82\xAC" "uro",
     Pairs{{"gvc", "9"}, {"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"LongGvcRun", "00012345?99", Pairs{{"gvc", "00012345"}, {"99", ""}}},
    {"FullWidthDigitsAreNoCode", "?\xEF\xBC\x92\xEF\xBC\x90x", kDeclines},
};

class GermanGvcTest : public testing::TestWithParam<Case> {};

TEST_P(GermanGvcTest, Decodes) { expect_decodes(GermanGvcDecoder(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Narratives, GermanGvcTest, testing::ValuesIn(kGvcCases), case_name);

// ---------------------------------------------------------------------------
// Angular

const Case kAngularCases[] = {
    {"FullNarrative", "NTRF<20Rent<21 May<32John Doe",
     Pairs{{"tx_code", "NTRF"}, {"20", "Rent"}, {"21", "May"}, {"32", "John Doe"}}},
    {"TxCodeTrimmed", " NTRF <20x", Pairs{{"tx_code", "NTRF"}, {"20", "x"}}},
    {"LaterCodeReplaces", "TX<20a<xy<20b", Pairs{{"tx_code", "TX"}, {"20", "b"}}},
    {"CaretOutnumbersAngle", "^20a<b^21c", Pairs{{"20", "a<b"}, {"21", "c"}}},
    {"TieGoesToAngle", "<20a^21b", Pairs{{"20", "a^21b"}}},
    {"ThirdDigitIsValue", "<123", Pairs{{"12", "3"}}},
    {"EmptyValues", "<20<21", Pairs{{"20", ""}, {"21", ""}}},
    {"FirstSeparatorTakesNoDigits", "<1x<20y", Pairs{{"20", "y"}}},
    {"TakenSeparatorHidden12", "<<12", kDeclines},
    {"TakenSeparatorHidden20", "<<20x", kDeclines},
    {"TakenSeparatorHidden23", "<1<23", kDeclines},
    {"TakenCaretHidden", "^^20x<", kDeclines},
    {"Empty", "", kDeclines},
    {"NoSeparator", "abc", kDeclines},
    {"NothingAfterSeparator", "abc<", kDeclines},
    {"NothingAfterSeparatorTx", "NTRF<", kDeclines},
    {"OneCharAfterSeparator", "<2", kDeclines},
    // The walk takes characters, not bytes: a two-byte or four-byte
    // character and the '<' after it are the two taken.
    {"TwoByteCharHidesSeparator", "<\xC3\xA9<20x", kDeclines},
    {"FourByteCharHidesSeparator", "<\xF0\x9F\x98\x80<20x", kDeclines},
    {"TwoByteCharSecondTaken", "<1\xC3\xA9<20x", Pairs{{"20", "x"}}},
    {"CaretIsTextWithAngleSeparator", "^<20x<21y", Pairs{{"tx_code", "^"}, {"20", "x"}, {"21", "y"}}},
    // Byte 2 of a piece falls inside a multi-byte character: no sub-field.
    {"CutInsideCharBeforeSubField", "x<2\xC3\xA9<20y", Pairs{{"tx_code", "x"}, {"20", "y"}}},
    {"CutInsideCharAfterSubField", "<20a<1\xC3\xA9", Pairs{{"20", "a"}}},
    {"CutInsideCharLeadingPiece", "<2\xC3\xA9<20y", Pairs{{"20", "y"}}},
    {"UnicodeSpacesTrimmed", "\xE3\x80\x80NTRF\xC2\x85<20\xE2\x80\xA8x\xE2\x80\xAF",
     Pairs{{"tx_code", "NTRF"}, {"20", "x"}}},
};

class AngularTest : public testing::TestWithParam<Case> {};

TEST_P(AngularTest, Decodes) { expect_decodes(AngularDecoder(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Narratives, AngularTest, testing::ValuesIn(kAngularCases), case_name);

// ---------------------------------------------------------------------------
// Adversarial bytes: no decoder may crash, read out of bounds or make
// invalid UTF-8 out of valid UTF-8.

bool is_valid_utf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

struct RobustCase {
  const char* name;
  std::string narrative;
};

const RobustCase kRobustCases[] = {
    {"LoneContinuationBytes", "\x80\xBF?20\x80<20\xBF^21\x80/EREF/\x80"},
    {"ContinuationAfterSeparators", "?\x80\x80<\x80\x80^\x80"},
    {"TruncatedLeadAtEnd", "<20x<\xE2\x82"},
    {"TruncatedLeadBeforeSeparator", "<\xE2<20x"},
    {"TruncatedLeadAfterSeparator", "<\xF0"},
    {"QuestionDigitTwoByte", "?1\xC3\xA9"},
    {"AngleDigitTwoByteThenCode", "<2\xC3\xA9<20y"},
    {"OnlySeparators", "??" "<<^^//"},
    {"SlashesAndMarker", "/EREF/////"},
    {"InvalidLeadBytes", "\xFF\xFE<20\xF8\x88\x80\x80\x80"},
};

void PrintTo(const RobustCase& c, std::ostream* os) { *os << testing::PrintToString(c.narrative); }

class RobustnessTest : public testing::TestWithParam<RobustCase> {};

TEST_P(RobustnessTest, EveryDecoderSurvives) {
  const std::string& narrative = GetParam().narrative;
  const bool valid_input = is_valid_utf8(narrative);
  const SwiftStructuredDecoder swift;
  const GermanGvcDecoder gvc;
  const AngularDecoder angular;
  for (const Decoder* decoder : {static_cast<const Decoder*>(&swift),
                                 static_cast<const Decoder*>(&gvc),
                                 static_cast<const Decoder*>(&angular)}) {
    std::optional<StructuredDetails> got = decoder->decode(narrative);
    if (!got || !valid_input) continue;
    for (const auto& entry : *got) {
      EXPECT_TRUE(is_valid_utf8(entry.value)) << decoder->name() << " " << entry.code;
    }
  }
  EXPECT_TRUE(DecoderChain::for_resolver("auto").decode(narrative));
}

INSTANTIATE_TEST_SUITE_P(Inputs, RobustnessTest, testing::ValuesIn(kRobustCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RobustnessTest, ValidInputGivesValidValues) {
  // Each piece after a separator starts with a multi-byte character cut at
  // byte 2 if it were taken for a code.
  const std::string narrative = "1?\xC3\xA9x?1\xC3\xA9?20\xE2\x82\xAC<2\xC3\xA9<20\xC3\xA9";
  ASSERT_TRUE(is_valid_utf8(narrative));
  const GermanGvcDecoder gvc;
  const AngularDecoder angular;
  for (const Decoder* decoder :
       {static_cast<const Decoder*>(&gvc), static_cast<const Decoder*>(&angular)}) {
    std::optional<StructuredDetails> got = decoder->decode(narrative);
    ASSERT_TRUE(got) << decoder->name();
    for (const auto& entry : *got) {
      EXPECT_TRUE(is_valid_utf8(entry.value)) << decoder->name() << " " << entry.code;
    }
  }
}

// ---------------------------------------------------------------------------
// Chains by resolver name

struct ChainCase {
  const char* name;
  std::string resolver;
  std::vector<std::string> decoders;  // names, in the order tried
};

const std::vector<std::string> kAutoChain = {"swift-structured", "german-gvc", "angular",
                                             "unstructured"};

const ChainCase kChainCases[] = {
    {"Auto", "auto", kAutoChain},
    {"Swift", "swift", {"swift-structured", "unstructured"}},
    {"Gvc", "gvc", {"german-gvc", "unstructured"}},
    {"Angular", "angular", {"angular", "unstructured"}},
    {"Empty", "", kAutoChain},
    {"Capitals", "AUTO", kAutoChain},
    {"GvcCapitals", "GVC", kAutoChain},
    {"LeadingSpace", " gvc", kAutoChain},
    {"TrailingSpace", "swift ", kAutoChain},
    {"GvcDecoderName", "german-gvc", kAutoChain},
    {"SwiftDecoderName", "swift-structured", kAutoChain},
    {"UnstructuredName", "unstructured", kAutoChain},
    {"NoneText", "None", kAutoChain},
    {"EmbeddedNul", std::string("gvc\0", 4), kAutoChain},
};

void PrintTo(const ChainCase& c, std::ostream* os) { *os << testing::PrintToString(c.resolver); }

class ForResolverTest : public testing::TestWithParam<ChainCase> {};

TEST_P(ForResolverTest, ChoosesDecodersInOrder) {
  DecoderChain chain = DecoderChain::for_resolver(GetParam().resolver);
  std::vector<std::string> names;
  for (size_t i = 0; i < chain.size(); ++i) names.emplace_back(chain[i].name());
  EXPECT_EQ(names, GetParam().decoders);
}

INSTANTIATE_TEST_SUITE_P(Names, ForResolverTest, testing::ValuesIn(kChainCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct ChainDecodeCase {
  const char* name;
  const char* resolver;
  std::string narrative;
  Pairs expected;
};

const ChainDecodeCase kChainDecodeCases[] = {
    // "swift" has no GVC decoder: the narrative stays whole.
    {"SwiftKeepsGvcWhole", "swift", "?20x", {{"detail", "?20x"}}},
    {"AutoSplitsGvc", "auto", "?20x", {{"20", "x"}, {"REMI_COMBINED", "x"}}},
    // An earlier decoder's acceptance hides the later ones.
    {"SwiftHidesGvc", "auto", "/EREF/E-1?20x", {{"EREF", "E-1?20x"}}},
    {"GvcChainSplitsMixed", "gvc", "/EREF/E-1?20x",
     {{"20", "x"}, {"REMI_COMBINED", "x"}}},
    {"GvcHidesAngular", "auto", "?20a<21b", {{"20", "a<21b"}, {"REMI_COMBINED", "a<21b"}}},
    {"AngularChainSplitsMixed", "angular", "?20a<21b", {{"tx_code", "?20a"}, {"21", "b"}}},
    {"AutoFallsToAngular", "auto", "NTRF<20Rent", {{"tx_code", "NTRF"}, {"20", "Rent"}}},
    {"AutoFallsToUnstructured", "auto", "plain text", {{"detail", "plain text"}}},
    {"GvcChainDeclinesSlashes", "gvc", "/EREF/1", {{"detail", "/EREF/1"}}},
    {"UnknownNameIsAuto", "german-gvc", "/EREF/1?20x", {{"EREF", "1?20x"}}},
};

void PrintTo(const ChainDecodeCase& c, std::ostream* os) {
  *os << c.resolver << " " << testing::PrintToString(c.narrative);
}

class ChainDecodeTest : public testing::TestWithParam<ChainDecodeCase> {};

TEST_P(ChainDecodeTest, FirstAcceptingDecoderWins) {
  const ChainDecodeCase& c = GetParam();
  std::optional<StructuredDetails> got = DecoderChain::for_resolver(c.resolver).decode(c.narrative);
  ASSERT_TRUE(got);
  EXPECT_EQ(entries_of(*got), sorted(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Narratives, ChainDecodeTest, testing::ValuesIn(kChainDecodeCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vardel
