// Helpers shared by the decoders whose sub-fields open with a separator and a
// two-digit field code: the German GVC layout (?20...) and the angular one
// (<20... or ^20...).
#ifndef VARDEL_DECODERS_SUB_FIELD_H_
#define VARDEL_DECODERS_SUB_FIELD_H_

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/text.hpp"

namespace vardel::internal {

// One sub-field cut from the piece that follows a separator.
struct SubField {
  std::string_view code;   // the two ASCII digits, "00" to "99"
  std::string_view value;  // the rest of the piece after byte 2, trimmed
};

// The sub-field of `piece`, or nullopt when the piece does not begin with two
// ASCII digits. The digits are tested before the piece is cut, so the cut
// always falls after two one-byte characters and never inside a multi-byte
// one. Both views point into `piece`.
[[nodiscard]] inline std::optional<SubField> cut_sub_field(std::string_view piece) {
  if (piece.size() < 2 || !is_ascii_digit(piece[0]) || !is_ascii_digit(piece[1])) {
    return std::nullopt;
  }
  return SubField{piece.substr(0, 2), trim_white_space(piece.substr(2))};
}

// Calls `visit(piece)` for every piece of `text` between separators, p0 first.
// N separators give N + 1 pieces; empty pieces are visited like any other.
template <class Visit>
void for_each_piece(std::string_view text, char separator, Visit&& visit) {
  size_t start = 0;
  while (true) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace vardel::internal

#endif  // VARDEL_DECODERS_SUB_FIELD_H_
