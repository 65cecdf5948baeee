// Decimal: the byte-level parsers (plain and scientific), the printers, the
// conversion to double, and parse_amount, the MT940 amount reader.
#include "core/decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "core/text.hpp"

namespace vardel {
namespace {

using Magnitude = Decimal::Magnitude;

constexpr Magnitude kLimit = Decimal::kMagnitudeLimit;
// (2^96 + 4) / 10: what a magnitude rounded up to 2^96 becomes when one
// fraction digit is given up to make room.
constexpr Magnitude kRoundedOverflow =
    (Magnitude{7922816251426433759ULL} * 1000000000ULL) + 354395034ULL;
static_assert(kRoundedOverflow == (kLimit + 4) / 10);
// A '_' right after the 28th fraction digit is skipped (instead of ending the
// number) only when the magnitude before that digit was above this value.
constexpr Magnitude kUnderscoreSkipThreshold = 1844674407370954905ULL;

// Longest to_string text: sign, 29 digits of 2^96 - 1, point, or "-0." and
// 28 fraction digits. Leaves room to spare.
constexpr std::size_t kTextBufferSize = 64;

// Above this length a parse_amount text is assembled on the heap.
constexpr std::size_t kAmountBufferSize = 128;

// Ends a fraction that ran out of room (28 digits, or the 96-bit width):
// c decides the rounding of the digits kept so far; nothing after it is read.
std::optional<Decimal> finish_with_rounding(Magnitude magnitude, uint8_t scale, bool negative,
                                            char c) {
  if (is_ascii_digit(c)) {
    if (c >= '5') ++magnitude;
  } else if (c != '_') {
    return std::nullopt;
  }
  if (magnitude == kLimit) {
    if (scale == 0) return std::nullopt;
    magnitude = kRoundedOverflow;
    --scale;
  }
  return Decimal{magnitude, scale, negative && magnitude != 0};
}

// Writes the decimal digits of m (at least one) ending at `end`; returns the
// start of the digits.
char* write_digits(Magnitude m, char* end) {
  char* p = end;
  // Peel 19 digits at a time through 64-bit arithmetic: 128-bit division is
  // slow and most amounts fit in the first chunk anyway.
  constexpr uint64_t kChunk = 10000000000000000000ULL;  // 10^19
  while (m >= kChunk) {
    uint64_t low = static_cast<uint64_t>(m % kChunk);
    m /= kChunk;
    for (int i = 0; i < 19; ++i) {
      *--p = static_cast<char>('0' + low % 10);
      low /= 10;
    }
  }
  uint64_t rest = static_cast<uint64_t>(m);
  do {
    *--p = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  return p;
}

// The to_string text of d into buf (kTextBufferSize bytes); returns its length.
std::size_t format_plain(const Decimal& d, char* buf) {
  char digits[kTextBufferSize];
  char* end = digits + sizeof digits;
  char* start = write_digits(d.magnitude, end);
  std::size_t count = static_cast<std::size_t>(end - start);
  std::size_t scale = d.scale;
  char* out = buf;
  if (d.negative) *out++ = '-';
  if (count > scale) {
    std::size_t whole = count - scale;
    std::memcpy(out, start, whole);
    out += whole;
    start += whole;
    count = scale;
  } else {
    *out++ = '0';
  }
  if (scale > 0) {
    *out++ = '.';
    std::size_t pad = scale - count;
    std::memset(out, '0', pad);
    out += pad;
    std::memcpy(out, start, count);
    out += count;
  }
  return static_cast<std::size_t>(out - buf);
}

// Reads the exponent text of the scientific form: '-' and an optional '+',
// or an optional '+', then one or more ASCII digits; the value is at most 28.
// Sets `negative_exponent` and returns the value, or -1 when the text fails.
int parse_exponent(std::string_view text, bool& negative_exponent) {
  std::size_t i = 0;
  negative_exponent = false;
  if (i < text.size() && text[i] == '-') {
    negative_exponent = true;
    ++i;
  }
  if (i < text.size() && text[i] == '+') ++i;
  if (i == text.size()) return -1;
  int value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (!is_ascii_digit(c)) return -1;
    value = value * 10 + (c - '0');
    if (value > Decimal::kMaxScale) return -1;  // stays small: leading zeros cost nothing
  }
  return value;
}

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= n) return std::nullopt;
  Magnitude magnitude = 0;
  uint8_t scale = 0;
  bool in_fraction = false;
  if (text[i] == '.') {
    if (i + 1 >= n || !is_ascii_digit(text[i + 1])) return std::nullopt;
    in_fraction = true;
    ++i;
  } else if (!is_ascii_digit(text[i])) {
    return std::nullopt;
  }

  // Integer part.
  for (; !in_fraction && i < n; ++i) {
    char c = text[i];
    if (is_ascii_digit(c)) {
      // magnitude < 2^96, so 10 * magnitude + 9 < 2^100 fits in 128 bits.
      magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
      if (magnitude >= kLimit) return std::nullopt;
    } else if (c == '_') {
      continue;
    } else if (c == '.') {
      in_fraction = true;
    } else {
      return std::nullopt;
    }
  }

  // Fraction part.
  for (; i < n; ++i) {
    char c = text[i];
    if (c == '_') continue;
    if (!is_ascii_digit(c)) return std::nullopt;  // a second '.', a sign, a letter, ...
    Magnitude next = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (next >= kLimit) return finish_with_rounding(magnitude, scale, negative, c);
    Magnitude before = magnitude;
    magnitude = next;
    ++scale;
    if (scale == kMaxScale && i + 1 < n) {
      std::size_t j = i + 1;
      if (before > kUnderscoreSkipThreshold && text[j] == '_') {
        while (j < n && text[j] == '_') ++j;
        if (j == n) break;  // only '_' left: the number ends here, unrounded
      }
      return finish_with_rounding(magnitude, scale, negative, text[j]);
    }
  }
  return Decimal{magnitude, scale, negative && magnitude != 0};
}

std::optional<Decimal> Decimal::parse_scientific(std::string_view text) {
  std::size_t e = text.find_first_of("eE");
  if (e == std::string_view::npos || e + 1 >= text.size()) return std::nullopt;
  std::optional<Decimal> base = parse(text.substr(0, e));
  if (!base) return std::nullopt;
  bool negative_exponent = false;
  int n = parse_exponent(text.substr(e + 1), negative_exponent);
  if (n < 0) return std::nullopt;

  Decimal d = *base;
  if (negative_exponent) {
    if (d.scale + n <= kMaxScale) {
      d.scale = static_cast<uint8_t>(d.scale + n);
      return d;
    }
    // Keep 28 - n fraction digits of the base: drop the last
    // scale + n - 28 digits (at most scale, since n <= 28), rounding half
    // away from zero on the first dropped one.
    int drop = d.scale + n - kMaxScale;
    Magnitude m = d.magnitude;
    for (int k = 1; k < drop; ++k) m /= 10;
    bool round_up = m % 10 >= 5;
    m /= 10;
    if (round_up) ++m;  // m <= (2^96 - 1) / 10 before, so still below 2^96
    d.magnitude = m;
    d.scale = kMaxScale;
    return d;  // the sign stays, even on a zero
  }
  if (n <= d.scale) {
    d.scale = static_cast<uint8_t>(d.scale - n);
    return d;
  }
  Magnitude m = d.magnitude;
  for (int k = d.scale; k < n; ++k) {
    m *= 10;  // m < 2^96 before, so no 128-bit overflow
    if (m >= kLimit) return std::nullopt;
  }
  return Decimal{m, 0, d.negative && m != 0};
}

std::string Decimal::to_string() const {
  char buf[kTextBufferSize];
  return std::string(buf, format_plain(*this, buf));
}

void Decimal::append_to(std::string& out) const {
  char buf[kTextBufferSize];
  out.append(buf, format_plain(*this, buf));
}

std::string Decimal::to_string_fixed(int places) const {
  std::string out;
  append_fixed(out, places);
  return out;
}

void Decimal::append_fixed(std::string& out, int places) const {
  char buf[kTextBufferSize];
  std::size_t len = format_plain(*this, buf);
  // buf holds the whole part, then (when scale > 0) '.' and scale digits.
  std::size_t whole_len = scale > 0 ? len - scale - 1 : len;
  if (places <= 0) {
    out.append(buf, whole_len);
    return;
  }
  std::size_t want = static_cast<std::size_t>(places);
  std::size_t kept = want < scale ? want : scale;
  out.append(buf, whole_len);
  out.push_back('.');
  out.append(buf + whole_len + 1, kept);  // no-op when scale == 0
  if (want > kept) out.append(want - kept, '0');
}

void Decimal::append_padded(std::string& out, int min_places) const {
  append_fixed(out, scale > min_places ? scale : min_places);
}

double decimal_to_float(const Decimal& d) {
  char buf[kTextBufferSize];
  std::size_t len = format_plain(d, buf);
  double value = 0;
  // The text is a plain decimal (at most 29 significant digits, no exponent)
  // whose value lies within +-2^96, so this cannot fail or go out of range.
  std::from_chars_result r = std::from_chars(buf, buf + len, value);
  if (r.ec != std::errc()) {  // unreachable; keep the sign in any case
    value = std::copysign(0.0, d.negative ? -1.0 : 1.0);
  }
  return value;
}

Result<Decimal> parse_amount(std::string_view text) {
  // The text is split at ',' and '.' alike: the first piece is the integer
  // text, the second the fraction text; further pieces are ignored.
  std::size_t sep = text.find_first_of(",.");
  std::string_view integer = text.substr(0, sep);
  std::string_view fraction;
  if (sep != std::string_view::npos) {
    fraction = text.substr(sep + 1);
    fraction = fraction.substr(0, fraction.find_first_of(",."));
  }
  std::size_t first_kept = integer.find_first_not_of('0');
  integer = first_kept == std::string_view::npos ? std::string_view("0")
                                                 : integer.substr(first_kept);

  // T = integer text, '.', fraction text padded with '0' to two characters.
  std::size_t frac_len = fraction.size() < 2 ? 2 : fraction.size();
  std::size_t total = integer.size() + 1 + frac_len;
  char stack_buf[kAmountBufferSize];
  std::string heap_buf;
  char* t = stack_buf;
  if (total > sizeof stack_buf) {
    heap_buf.resize(total);
    t = heap_buf.data();
  }
  std::memcpy(t, integer.data(), integer.size());
  t[integer.size()] = '.';
  char* f = t + integer.size() + 1;
  if (!fraction.empty()) std::memcpy(f, fraction.data(), fraction.size());
  std::memset(f + fraction.size(), '0', frac_len - fraction.size());
  std::string_view joined(t, total);

  std::optional<Decimal> d = Decimal::parse(joined);
  if (!d && joined.find_first_of("eE") != std::string_view::npos) {
    d = Decimal::parse_scientific(joined);
  }
  if (!d) return ParseError::invalid_amount(text, kAmountFieldTag);
  return *d;
}

}  // namespace vardel
