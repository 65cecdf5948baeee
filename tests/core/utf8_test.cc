#include "core/utf8.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vardel {
namespace {

// Decodes into a buffer of exactly the census's size (a write past it is a
// heap overflow under the sanitizer build); nullopt when decoding fails.
template <class Char>
std::optional<std::u32string> decode(std::string_view text, const Utf8Census& census) {
  const auto out = std::make_unique<Char[]>(census.code_points);
  if (!decode_utf8(text, out.get(), census)) return std::nullopt;
  return std::u32string(out.get(), out.get() + census.code_points);
}

struct ValidCase {
  std::string_view text;
  std::u32string_view code_points;
  char32_t max_char;
};

// Every case is valid UTF-8; the longer ones mix the eight-byte ASCII runs
// with sequences that start at every offset around them.
const ValidCase kValid[] = {
    {"", U"", 0x7F},
    {"MT940", U"MT940", 0x7F},
    {"Exactly8", U"Exactly8", 0x7F},
    {"sixteen bytes!!!", U"sixteen bytes!!!", 0x7F},
    {"\xC2\x80\xC3\xBF", U"\u0080\u00FF", 0xFF},
    {"M\xC3\xBCller & S\xC3\xB6hne GmbH", U"Müller & Söhne GmbH", 0xFF},
    {"\xC4\x80", U"\u0100", 0xFFFF},
    {"Zahlung 12,50 \xE2\x82\xAC an Eva", U"Zahlung 12,50 € an Eva", 0xFFFF},
    {"\xEF\xBB\xBFStatement,Account\n", U"\uFEFFStatement,Account\n", 0xFFFF},
    {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", U"\u0800\uD7FF\uE000\uFFFF", 0xFFFF},
    {"Noten \xF0\x9D\x84\x9E und \xF0\x9F\x98\x80 ok", U"Noten 𝄞 und 😀 ok", 0x10FFFF},
    {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", U"\U00010000\U0010FFFF", 0x10FFFF},
    {"abcdefg\xC3\xA9hijklmnopq\xE2\x82\xACrstuvwxy\xF0\x9F\x98\x80",
     U"abcdefgéhijklmnopq€rstuvwxy😀", 0x10FFFF},
};

// Census, decoding into every width that holds the text, and encoding back.
TEST(Utf8Test, ValidTextsRoundTrip) {
  for (const ValidCase& c : kValid) {
    const Utf8Census census = take_utf8_census(c.text);
    EXPECT_EQ(census.code_points, c.code_points.size()) << c.text;
    EXPECT_EQ(census.max_char, c.max_char) << c.text;
    EXPECT_EQ(decode<char32_t>(c.text, census), std::u32string(c.code_points)) << c.text;
    if (census.max_char <= 0xFFFF) {
      EXPECT_EQ(decode<char16_t>(c.text, census), std::u32string(c.code_points)) << c.text;
    }
    if (census.max_char <= 0xFF) {
      EXPECT_EQ(decode<unsigned char>(c.text, census), std::u32string(c.code_points)) << c.text;
    }
    std::string encoded;
    for (const char32_t cp : c.code_points) append_utf8(encoded, cp);
    EXPECT_EQ(encoded, c.text);
  }
}

TEST(Utf8Test, RejectsEveryMalformedSequence) {
  const std::string_view kMalformed[] = {
      "\x80",                              // continuation byte without a lead
      "abc\xBF",                           // the same after ASCII
      "\xC0\x80", "\xC1\xBF",              // overlong two-byte forms
      "\xE0\x80\x80", "\xE0\x9F\xBF",      // overlong three-byte forms
      "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF",  // overlong four-byte forms
      "\xED\xA0\x80", "\xED\xBF\xBF",      // surrogates
      "\xF4\x90\x80\x80",                  // past U+10FFFF
      "\xF5\x80\x80\x80", "\xFF", "\xFE",  // bytes that never lead
      "\xC3", "\xE2\x82", "\xF0\x9F\x98",  // cut off at the end
      "abcdefgh\xC3",                      // cut off after an eight-byte run
      "\xC3" "A", "\xE2\x82" "A", "\xF0\x9F\x98" "A",  // a non-continuation inside
  };
  for (const std::string_view text : kMalformed) {
    const Utf8Census census = take_utf8_census(text);
    EXPECT_EQ(decode<char32_t>(text, census), std::nullopt) << testing::PrintToString(text);
  }
}

TEST(Utf8Test, RejectsACensusTheTextDoesNotFit) {
  const std::string_view text = "abcdefghij\xE2\x82\xAC";  // 11 code points, widest U+20AC
  EXPECT_EQ(decode<char32_t>(text, {10, 0xFFFF}), std::nullopt);  // too few units
  EXPECT_EQ(decode<char32_t>(text, {12, 0xFFFF}), std::nullopt);  // too many
  EXPECT_EQ(decode<unsigned char>(text, {11, 0xFF}), std::nullopt);  // too narrow
  EXPECT_EQ(decode<char32_t>(text, {11, 0xFFFF}), std::u32string(U"abcdefghij€"));
}

}  // namespace
}  // namespace vardel
