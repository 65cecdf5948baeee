// Counterparty, counter IBAN and purpose of decoded narratives, and
// detail_by_code.
#include "core/decoders/lookups.hpp"

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/decoders/angular.hpp"
#include "core/decoders/german_gvc.hpp"
#include "core/decoders/swift_structured.hpp"
#include "core/decoders/unstructured.hpp"
#include "core/structured_details.hpp"

namespace vardel {
namespace {

const SwiftStructuredDecoder kSwift;
const GermanGvcDecoder kGvc;
const AngularDecoder kAngular;
const UnstructuredDecoder kUnstructured;

struct NarrativeCase {
  const char* name;
  const Decoder* decoder;
  std::string narrative;
  std::string counterparty;
  std::string counter_iban;
  std::string purpose;
};

const NarrativeCase kNarrativeCases[] = {
    {"GvcFull",
     &kGvc,
     "166?00GUTSCHRIFT?20EREF+123?21SVWZ+Miete ?22Januar?30BANKDEFF?31DE00123?32Max "
     "Muster?33GmbH",
     "Max Muster GmbH", "DE00123", "EREF+123 SVWZ+Miete Januar"},
    // Numeric order and the last value per code, unlike REMI_COMBINED.
    {"GvcPurposeInCodeOrder", &kGvc, "?21b?20a?20c", "", "", "c b"},
    {"GvcNameOverAlias", &kGvc, "?27Anna?32Ben", "Ben", "", "Anna"},
    {"GvcAliasAlone", &kGvc, "?27Anna", "Anna", "", "Anna"},
    {"GvcBankCodeWhenNoIban", &kGvc, "?30BANKDEFF?20x", "", "BANKDEFF", "x"},
    {"SwiftRemiOverEref", &kSwift, "/EREF/E-1/REMI/Invoice 7 /NAME/Max Muster", "Max Muster",
     "", "Invoice 7"},
    {"SwiftIbanAndEref", &kSwift, "/EREF/E-9/IBAN/DE00 1234/NAME/Shop", "Shop", "DE00 1234",
     "E-9"},
    {"Angular", &kAngular, "NTRF<20Rent<21 May<32John Doe", "John Doe", "", "Rent May"},
    // A free-text narrative is its own purpose, whatever it looks like.
    {"UnstructuredGvcLike", &kUnstructured, "?20x?32Name?31DE00", "", "", "?20x?32Name?31DE00"},
    {"UnstructuredSlashLike", &kUnstructured, "/NAME/x/REMI/y/IBAN/z", "", "",
     "/NAME/x/REMI/y/IBAN/z"},
    {"UnstructuredFreeText", &kUnstructured, "Account fee charged in error", "", "",
     "Account fee charged in error"},
};

void PrintTo(const NarrativeCase& c, std::ostream* os) { *os << testing::PrintToString(c.narrative); }

class NarrativeLookupTest : public testing::TestWithParam<NarrativeCase> {};

TEST_P(NarrativeLookupTest, DerivesFields) {
  const NarrativeCase& c = GetParam();
  std::optional<StructuredDetails> details = c.decoder->decode(c.narrative);
  ASSERT_TRUE(details) << c.decoder->name() << " declined";
  EXPECT_EQ(counterparty_from_details(*details), c.counterparty);
  EXPECT_EQ(counter_iban_from_details(*details), c.counter_iban);
  EXPECT_EQ(purpose_from_details(*details), c.purpose);
}

INSTANTIATE_TEST_SUITE_P(Decoded, NarrativeLookupTest, testing::ValuesIn(kNarrativeCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct MapCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> entries;
  std::string counterparty;
  std::string counter_iban;
  std::string purpose;
};

// A present key stops the fall-back even when its value is empty.
const MapCase kMapCases[] = {
    {"Empty", {}, "", "", ""},
    {"AliasOverName", {{"27", "X"}, {"NAME", "Y"}}, "X", "", "X"},
    {"SecondLineAlone", {{"33", "Z"}}, "", "", ""},
    {"EmptyFirstLine", {{"32", ""}, {"33", "B"}, {"27", "C"}}, " B", "", "C"},
    {"EmptySecondLine", {{"32", "A"}, {"33", ""}}, "A ", "", ""},
    {"EmptyFirstLineStopsName", {{"32", ""}, {"NAME", "N"}}, "", "", ""},
    {"BankCodeOverIban", {{"30", "B1"}, {"IBAN", "I"}}, "", "B1", ""},
    {"EmptyIbanStopsBankCode", {{"31", ""}, {"30", "B1"}}, "", "", ""},
    {"IbanKeyAlone", {{"IBAN", "DE02"}}, "", "DE02", ""},
    {"CodesOverRemi", {{"21", "x"}, {"23", "y"}, {"REMI", "r"}}, "", "", "x y"},
    {"EmptyCodeKept", {{"20", ""}, {"22", "y"}}, "", "", " y"},
    {"EmptyCodeStopsRemi", {{"20", ""}, {"REMI", "r"}}, "", "", ""},
    {"EmptyRemiStopsEref", {{"REMI", ""}, {"EREF", "E"}}, "", "", ""},
    {"ErefAlone", {{"EREF", "E"}}, "", "", "E"},
    {"AllTenCodes",
     {{"29", "j"}, {"20", "a"}, {"25", "f"}, {"21", "b"}, {"28", "i"},
      {"22", "c"}, {"27", "h"}, {"23", "d"}, {"26", "g"}, {"24", "e"}},
     "h", "", "a b c d e f g h i j"},
    // Only the keys "20" to "29" count: neighbours, padded forms and the
    // combined remittance do not.
    {"OutsideRangeIgnored",
     {{"19", "s"}, {"30", "t"}, {"020", "u"}, {"2", "v"}, {"REMI_COMBINED", "w"}},
     "", "t", ""},
    // Longer codes sort between "20" and "29" and after "29".
    {"LongerCodesAmongRangeIgnored",
     {{"20A", "x"}, {"200", "y"}, {"21", "b"}, {"2:", "z"}, {"29", "c"}, {"290", "w"}},
     "", "", "b c"},
    {"KeysCaseSensitive", {{"name", "n"}, {"iban", "i"}, {"remi", "r"}}, "", "", ""},
    // "detail" comes last, after the codes, REMI and EREF.
    {"DetailAlone", {{"detail", " free text "}}, "", "", " free text "},
    {"EmptyDetail", {{"detail", ""}}, "", "", ""},
    {"CodesOverDetail", {{"detail", "d"}, {"22", "y"}}, "", "", "y"},
    {"ErefOverDetail", {{"detail", "d"}, {"EREF", "E"}}, "", "", "E"},
    {"EmptyErefStopsDetail", {{"detail", "d"}, {"EREF", ""}}, "", "", ""},
    {"ValuesNotTrimmed", {{"32", " A "}, {"31", " DE "}, {"REMI", " r "}}, " A ", " DE ",
     " r "},
};

void PrintTo(const MapCase& c, std::ostream* os) { *os << testing::PrintToString(c.entries); }

class MapLookupTest : public testing::TestWithParam<MapCase> {};

TEST_P(MapLookupTest, DerivesFields) {
  const MapCase& c = GetParam();
  StructuredDetails details;
  for (const auto& [code, value] : c.entries) details.insert_or_assign(code, value);
  const StructuredDetails before = details;
  EXPECT_EQ(counterparty_from_details(details), c.counterparty);
  EXPECT_EQ(counter_iban_from_details(details), c.counter_iban);
  EXPECT_EQ(purpose_from_details(details), c.purpose);
  EXPECT_EQ(details, before);
}

INSTANTIATE_TEST_SUITE_P(Maps, MapLookupTest, testing::ValuesIn(kMapCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct CodeCase {
  const char* name;
  int32_t code;
  std::optional<std::string> expected;  // nullopt: absent
};

const CodeCase kCodeCases[] = {
    {"NoLeadingZero", 5, "five"},
    {"TwoDigits", 20, "twenty"},
    {"Zero", 0, "zero"},
    {"Negative", -3, "minus three"},
    {"Minimum", std::numeric_limits<int32_t>::min(), "min"},
    {"Maximum", std::numeric_limits<int32_t>::max(), std::nullopt},
    {"Absent", 21, std::nullopt},
    {"PaddedKeyNotFound", 7, std::nullopt},
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.code; }

class DetailByCodeTest : public testing::TestWithParam<CodeCase> {};

TEST_P(DetailByCodeTest, LooksUpDecimalText) {
  StructuredDetails details;
  details.insert_or_assign("5", "five");
  details.insert_or_assign("05", "padded five");
  details.insert_or_assign("07", "padded seven");
  details.insert_or_assign("+7", "plus seven");
  details.insert_or_assign("20", "twenty");
  details.insert_or_assign("0", "zero");
  details.insert_or_assign("-3", "minus three");
  details.insert_or_assign("-2147483648", "min");
  EXPECT_EQ(detail_by_code(details, GetParam().code), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, DetailByCodeTest, testing::ValuesIn(kCodeCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vardel
