// Decimal: the exact decimal number that holds every amount, its parsers and
// printers, the conversion to a double, and parse_amount, the MT940 amount
// reader.
//
//   vardel::Result<vardel::Decimal> d = vardel::parse_amount("1234,5");
//   d->to_string();          // "1234.50"
//   d->to_string_fixed(2);   // "1234.50"
//   vardel::decimal_to_float(d->negate());  // -1234.5
//
// The representation is not normalised: 1.5 (scale 1) and 1.50 (scale 2)
// print differently, and a negative zero exists (it prints "-0.00" and
// converts to -0.0).
#ifndef VARDEL_DECIMAL_H_
#define VARDEL_DECIMAL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/parse_error.hpp"

namespace vardel {

struct Decimal {
  __extension__ typedef unsigned __int128 Magnitude;
  // 2^96: no magnitude reaches it.
  static constexpr Magnitude kMagnitudeLimit = Magnitude{1} << 96;
  static constexpr uint8_t kMaxScale = 28;

  Magnitude magnitude = 0;  // digits without sign or point; below 2^96
  uint8_t scale = 0;        // digits after the point, 0 to 28
  bool negative = false;    // sign; may be set on a zero (negative zero)

  // Plain notation with '.' as point, optional leading sign, '_' skipped in
  // the digits. Fails (nullopt) on anything else; never a negative zero.
  [[nodiscard]] static std::optional<Decimal> parse(std::string_view text);
  // A plain decimal, 'e' or 'E', and an exponent of at most 28.
  [[nodiscard]] static std::optional<Decimal> parse_scientific(std::string_view text);

  // All digits with exactly `scale` fraction digits; '-' whenever negative.
  [[nodiscard]] std::string to_string() const;
  void append_to(std::string& out) const;
  // Exactly `places` fraction digits, further digits cut off (not rounded).
  [[nodiscard]] std::string to_string_fixed(int places) const;
  void append_fixed(std::string& out, int places) const;
  // Every stored fraction digit, padded with zeros to at least `min_places`:
  // the exact value in a fixed-point form (KWD 99.999, EUR 10.50).
  void append_padded(std::string& out, int min_places) const;

  // Same magnitude and scale, sign flipped.
  [[nodiscard]] Decimal negate() const {
    Decimal d = *this;
    d.negative = !d.negative;
    return d;
  }
  [[nodiscard]] bool is_zero() const { return magnitude == 0; }

  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// The double nearest to the value of d's to_string text (ties to even);
// a negative zero gives -0.0. Never fails.
[[nodiscard]] double decimal_to_float(const Decimal& d);

// Reads an MT940 amount ("1234,56"): commas become points, leading zeros go,
// the fraction is padded to two digits, then Decimal::parse and, for a text
// with an exponent, Decimal::parse_scientific. Error: InvalidAmount quoting
// the text as received, tag "(amount field)".
[[nodiscard]] Result<Decimal> parse_amount(std::string_view text);

}  // namespace vardel

#endif  // VARDEL_DECIMAL_H_
