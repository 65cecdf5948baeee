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

// Whether any piece after the first '?' opens a sub-field.
bool has_sub_field(std::string_view narrative) {
  bool found = false;
  bool first = true;
  internal::for_each_piece(narrative, kSeparator, [&](std::string_view piece) {
    if (!first && !found && internal::cut_sub_field(piece)) found = true;
    first = false;
  });
  return found;
}

}  // namespace

std::optional<StructuredDetails> GermanGvcDecoder::decode(std::string_view narrative) const {
  if (!has_sub_field(narrative)) return std::nullopt;

  StructuredDetails details;
  // Codes and values take at most the narrative's bytes; the joined
  // remittance text may need one more growth.
  details.reserve(16, narrative.size());
  std::string remittance;  // the 20..29 values in text order, joined by ' '
  bool has_remittance = false;
  bool first = true;
  internal::for_each_piece(narrative, kSeparator, [&](std::string_view piece) {
    if (first) {
      first = false;
      size_t digits = 0;
      while (digits < piece.size() && internal::is_ascii_digit(piece[digits])) ++digits;
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
