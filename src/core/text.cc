// Trimming by the Unicode White_Space property.
#include "core/text.hpp"

#include <cstddef>

namespace vardel {
namespace {

constexpr bool is_ascii_white_space(unsigned char c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}

// The non-ASCII White_Space characters are matched by their exact UTF-8
// encodings, so malformed or truncated sequences never count as space:
//   U+0085 C2 85, U+00A0 C2 A0, U+1680 E1 9A 80, U+2000..U+200A E2 80 80..8A,
//   U+2028 E2 80 A8, U+2029 E2 80 A9, U+202F E2 80 AF, U+205F E2 81 9F,
//   U+3000 E3 80 80.
constexpr bool is_two_byte_white_space(unsigned char b0, unsigned char b1) {
  return b0 == 0xC2 && (b1 == 0x85 || b1 == 0xA0);
}

constexpr bool is_three_byte_white_space(unsigned char b0, unsigned char b1, unsigned char b2) {
  switch (b0) {
    case 0xE1:
      return b1 == 0x9A && b2 == 0x80;
    case 0xE2:
      if (b1 == 0x80) return (b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF;
      return b1 == 0x81 && b2 == 0x9F;
    case 0xE3:
      return b1 == 0x80 && b2 == 0x80;
    default:
      return false;
  }
}

unsigned char byte_at(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// Length in bytes of the White_Space character that starts at `begin`, or 0
// when none does. Reads only bytes before `end`.
size_t white_space_at(std::string_view text, size_t begin, size_t end) {
  unsigned char b0 = byte_at(text, begin);
  if (b0 < 0x80) return is_ascii_white_space(b0) ? 1 : 0;
  size_t left = end - begin;
  if (left >= 2 && is_two_byte_white_space(b0, byte_at(text, begin + 1))) return 2;
  if (left >= 3 &&
      is_three_byte_white_space(b0, byte_at(text, begin + 1), byte_at(text, begin + 2))) {
    return 3;
  }
  return 0;
}

// Length in bytes of the White_Space character that ends just before `end`,
// or 0 when none does. Reads only bytes at or after `begin`. Each encoding
// above begins with a lead byte, so a match found backwards is a whole
// character of its own.
size_t white_space_before(std::string_view text, size_t begin, size_t end) {
  unsigned char last = byte_at(text, end - 1);
  if (last < 0x80) return is_ascii_white_space(last) ? 1 : 0;
  size_t left = end - begin;
  if (left >= 2 && is_two_byte_white_space(byte_at(text, end - 2), last)) return 2;
  if (left >= 3 &&
      is_three_byte_white_space(byte_at(text, end - 3), byte_at(text, end - 2), last)) {
    return 3;
  }
  return 0;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end) {
    size_t n = white_space_at(text, begin, end);
    if (n == 0) break;
    begin += n;
  }
  while (end > begin) {
    size_t n = white_space_before(text, begin, end);
    if (n == 0) break;
    end -= n;
  }
  return text.substr(begin, end - begin);
}

}  // namespace vardel
