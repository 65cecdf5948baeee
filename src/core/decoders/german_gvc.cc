// The "german-gvc" decoder: an optional numeric business-transaction code,
// then sub-fields opened by '?' and a two-digit field code.
#include "core/decoders/german_gvc.hpp"

#include <string>

#include "core/decoders/sub_field.hpp"

namespace vardel {
namespace {

constexpr char kSeparator = '?';
constexpr std::string_view kGvcKey = "gvc";
constexpr std::string_view kRemittanceKey = "REMI_COMBINED";

// Codes 20 to 29 carry the remittance information (Verwendungszweck).
bool is_remittance_code(std::string_view code) { return code[0] == '2'; }

// What the sub-fields after the first '?' hold: how many there are, and the
// bytes of the joined remittance text (values 20..29 and a space after each,
// one more than the joined text needs).
struct SubFieldCount {
  size_t fields = 0;
  size_t remittance_bytes = 0;
};

SubFieldCount count_sub_fields(std::string_view narrative) {
  SubFieldCount count;
  bool first = true;
  internal::for_each_piece(narrative, kSeparator, [&](std::string_view piece) {
    if (first) {
      first = false;
      return;
    }
    auto field = internal::cut_sub_field(piece);
    if (!field) return;
    if (is_remittance_code(field->code)) {
      count.remittance_bytes += field->value.size() + 1;
    }
    ++count.fields;
  });
  return count;
}

}  // namespace

std::optional<StructuredDetails> GermanGvcDecoder::decode(std::string_view narrative) const {
  const SubFieldCount count = count_sub_fields(narrative);
  if (count.fields == 0) return std::nullopt;

  // Codes and values of the sub-fields take at most the narrative's bytes;
  // then "gvc" and the joined remittance text.
  StructuredDetails details;
  details.reserve(count.fields + 2,
                  narrative.size() + kRemittanceKey.size() + count.remittance_bytes);
  std::string remittance;  // the 20..29 values in text order, joined by ' '
  remittance.reserve(count.remittance_bytes);
  bool has_remittance = false;
  bool first = true;
  internal::for_each_piece(narrative, kSeparator, [&](std::string_view piece) {
    if (first) {
      first = false;
      size_t digits = 0;
      while (digits < piece.size() && is_ascii_digit(piece[digits])) ++digits;
      if (digits > 0) details.insert_or_assign(kGvcKey, piece.substr(0, digits));
      return;
    }
    auto field = internal::cut_sub_field(piece);
    if (!field) return;
    details.insert_or_assign(field->code, field->value);
    if (is_remittance_code(field->code)) {
      if (has_remittance) remittance.push_back(' ');
      remittance.append(field->value);
      has_remittance = true;
    }
  });
  if (has_remittance) details.insert_or_assign(kRemittanceKey, remittance);
  return details;
}

}  // namespace vardel
