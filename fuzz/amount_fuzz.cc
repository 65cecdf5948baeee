// libFuzzer target for amounts: parse_amount, Decimal::parse and
// Decimal::parse_scientific on the whole input.
//
// Invariants checked beyond "no crash, no sanitizer report":
//  - every Decimal stays within its range (magnitude below 2^96, scale <= 28);
//  - to_string parses back with Decimal::parse to the same value (a negative
//    zero comes back as the positive zero of the same scale);
//  - to_string_fixed(2) is to_string cut or padded to two fraction digits,
//    append_padded(2) is to_string padded to at least two;
//  - decimal_to_float is finite and equals strtod of the to_string text
//    bit for bit (glibc's strtod rounds correctly, ties to even);
//  - Decimal::parse never yields a negative zero;
//  - parse_amount equals Decimal::parse / parse_scientific of the normalised
//    text, and a failure is InvalidAmount quoting the input unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/decimal.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::Decimal;

void check_decimal(const Decimal& d) {
  FUZZ_CHECK(d.magnitude < Decimal::kMagnitudeLimit);
  FUZZ_CHECK(d.scale <= Decimal::kMaxScale);

  const std::string text = d.to_string();
  std::string appended = "x";
  d.append_to(appended);
  FUZZ_CHECK(appended.substr(1) == text);

  // Round trip through the plain parser.
  const std::optional<Decimal> back = Decimal::parse(text);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->magnitude == d.magnitude && back->scale == d.scale);
  FUZZ_CHECK(back->negative == (d.negative && !d.is_zero()));

  // Two fraction digits: cut, or padded with zeros.
  const std::string fixed = d.to_string_fixed(2);
  std::string want;
  if (d.scale >= 2) {
    want = text.substr(0, text.size() - (d.scale - 2));
  } else if (d.scale == 1) {
    want = text + "0";
  } else {
    want = text + ".00";
  }
  FUZZ_CHECK(fixed == want);
  std::string fixed_appended = "x";
  d.append_fixed(fixed_appended, 2);
  FUZZ_CHECK(fixed_appended.substr(1) == fixed);
  // Every digit, at least two: the plain text, or the fixed one when shorter.
  std::string padded = "x";
  d.append_padded(padded, 2);
  FUZZ_CHECK(padded.substr(1) == (d.scale >= 2 ? text : fixed));

  const double x = vardel::decimal_to_float(d);
  FUZZ_CHECK(std::isfinite(x));
  const double y = std::strtod(text.c_str(), nullptr);
  FUZZ_CHECK(std::memcmp(&x, &y, sizeof x) == 0);

  const Decimal n = d.negate();
  FUZZ_CHECK(n.magnitude == d.magnitude && n.scale == d.scale && n.negative != d.negative);
}

// Steps 1 to 6 of the amount reader: commas to points, leading zeros of the
// integer piece removed, fraction piece padded to two digits.
std::string normalise_amount(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  const size_t first_point = s.find('.');
  std::string integer = s.substr(0, first_point);
  std::string fraction;
  if (first_point != std::string::npos) {
    const size_t second_point = s.find('.', first_point + 1);
    fraction = s.substr(first_point + 1, second_point == std::string::npos
                                             ? std::string::npos
                                             : second_point - first_point - 1);
  }
  const size_t nonzero = integer.find_first_not_of('0');
  integer = nonzero == std::string::npos ? "0" : integer.substr(nonzero);
  while (fraction.size() < 2) fraction += '0';
  return integer + "." + fraction;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::optional<Decimal> plain = Decimal::parse(text);
  if (plain) {
    FUZZ_CHECK(!(plain->negative && plain->is_zero()));
    check_decimal(*plain);
  }
  const std::optional<Decimal> scientific = Decimal::parse_scientific(text);
  if (scientific) check_decimal(*scientific);

  const vardel::Result<Decimal> amount = vardel::parse_amount(text);
  const std::string normalised = normalise_amount(text);
  std::optional<Decimal> want = Decimal::parse(normalised);
  if (!want && normalised.find_first_of("eE") != std::string::npos) {
    want = Decimal::parse_scientific(normalised);
  }
  if (amount) {
    check_decimal(*amount);
    FUZZ_CHECK(want.has_value() && *want == *amount);
  } else {
    FUZZ_CHECK(!want.has_value());
    const vardel::ParseError& e = amount.error();
    FUZZ_CHECK(e.kind == vardel::ParseErrorKind::InvalidAmount);
    FUZZ_CHECK(e.value == text);
    FUZZ_CHECK(e.tag == vardel::kAmountFieldTag);
    FUZZ_CHECK(!e.message().empty());
  }
  return 0;
}
