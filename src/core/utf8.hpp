// UTF-8 coding of whole texts and single code points.
//
// Decoding takes two passes over a text: a census that tells how many code
// points it holds and how wide the widest is, then a strict decoder that
// writes them into a buffer of exactly that size.
//
//   const Utf8Census census = take_utf8_census(text);
//   std::u32string out(census.code_points, U'\0');
//   if (!decode_utf8(text, out.data(), census)) { /* not valid UTF-8 */ }
//
// The Python module builds large export strs this way, choosing the str's
// storage kind (1, 2 or 4 bytes a character) from the census.
#ifndef VARDEL_CORE_UTF8_H_
#define VARDEL_CORE_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vardel {

// Read from the bytes alone. Every byte that is not a continuation byte
// (10xxxxxx) starts one code point, and the largest byte is the lead of the
// widest sequence, so `max_char` is a bound in one of four classes: U+007F
// (ASCII), U+00FF (leads up to 0xC3), U+FFFF (leads up to 0xEF) or U+10FFFF.
// For valid UTF-8 the bound falls in the same class as the widest code point.
struct Utf8Census {
  std::size_t code_points = 0;
  char32_t max_char = 0x7F;
};

[[nodiscard]] Utf8Census take_utf8_census(std::string_view text);

// Decodes `text` into exactly `census.code_points` units at `out`, each no
// wider than `census.max_char` (which must fit `Char`). Strict: returns false,
// with `out` partly written but never past its end, for any text that is not
// well-formed UTF-8 (stray continuation bytes, truncated or overlong
// sequences, surrogates, code points past U+10FFFF) or does not fit the
// census.
template <class Char>
[[nodiscard]] bool decode_utf8(std::string_view text, Char* out, const Utf8Census& census) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  Char* const out_end = out + census.code_points;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  while (p < end) {
    // Runs of ASCII, eight bytes at a time.
    while (end - p >= 8 && out_end - out >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if ((word & kHighBits) != 0) break;
      for (int i = 0; i < 8; ++i) out[i] = static_cast<Char>(p[i]);
      p += 8;
      out += 8;
    }
    if (p == end) break;
    if (out == out_end) return false;
    char32_t c = *p;
    if (c < 0x80) {
      *out++ = static_cast<Char>(c);
      ++p;
      continue;
    }
    int extra;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, c &= 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, c &= 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, c &= 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > census.max_char || (c >= 0xD800 && c <= 0xDFFF)) return false;
    *out++ = static_cast<Char>(c);
    p += extra + 1;
  }
  return out == out_end;
}

// Appends the UTF-8 form of `c`, a Unicode scalar value (not a surrogate,
// at most U+10FFFF).
inline void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace vardel

#endif  // VARDEL_CORE_UTF8_H_
