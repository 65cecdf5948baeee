// Text helpers shared by the parser and the decoders: ASCII digits, trimming
// by the Unicode White_Space property and UTF-8 boundary checks.
#ifndef VARDEL_TEXT_H_
#define VARDEL_TEXT_H_

#include <string_view>

namespace vardel {

// '0' to '9' only: MT940 dates, amounts and sub-field codes are ASCII.
[[nodiscard]] constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// Removes from both ends every character with the White_Space property
// (U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000) and no others. The result views `text`.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

// True when byte `pos` of `text` starts a character (or pos == size), i.e.
// it is not a UTF-8 continuation byte.
[[nodiscard]] constexpr bool is_char_boundary(std::string_view text, size_t pos) {
  return pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80;
}

}  // namespace vardel

#endif  // VARDEL_TEXT_H_
