// The "angular" decoder: a transaction code, then sub-fields opened by '<'
// or '^' and a two-digit field code.
#include "core/decoders/angular.hpp"

#include "core/decoders/sub_field.hpp"
#include "core/text.hpp"

namespace vardel {
namespace {

constexpr std::string_view kTxCodeKey = "tx_code";

struct Separator {
  char byte;
  size_t occurrences;  // in the narrative, at least 1
};

// '<' when it occurs at least once and at least as often as '^'; else '^'
// when it occurs; else nothing.
std::optional<Separator> choose_separator(std::string_view narrative) {
  size_t angles = 0;
  size_t carets = 0;
  for (char c : narrative) {
    if (c == '<') ++angles;
    if (c == '^') ++carets;
  }
  if (angles > 0 && angles >= carets) return Separator{'<', angles};
  if (carets > 0) return Separator{'^', carets};
  return std::nullopt;
}

// Byte length of the character starting at `pos`: its lead byte's length,
// cut short at the first byte that does not continue it, so that a broken
// sequence never swallows the separator after it.
size_t char_length(std::string_view text, size_t pos) {
  auto lead = static_cast<unsigned char>(text[pos]);
  size_t want = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  size_t len = 1;
  while (len < want && pos + len < text.size() && !is_char_boundary(text, pos + len)) ++len;
  return len;
}

// Walks the narrative character by character. A separator takes the next two
// characters, which are therefore never examined as separators themselves;
// the narrative is accepted at the first separator that takes two ASCII
// digits.
bool is_accepted(std::string_view narrative, char separator) {
  size_t pos = 0;
  while (pos < narrative.size()) {
    if (narrative[pos] != separator) {
      pos += char_length(narrative, pos);
      continue;
    }
    ++pos;
    if (pos + 1 < narrative.size() && is_ascii_digit(narrative[pos]) &&
        is_ascii_digit(narrative[pos + 1])) {
      return true;
    }
    for (int taken = 0; taken < 2 && pos < narrative.size(); ++taken) {
      pos += char_length(narrative, pos);
    }
  }
  return false;
}

}  // namespace

std::optional<StructuredDetails> AngularDecoder::decode(std::string_view narrative) const {
  std::optional<Separator> separator = choose_separator(narrative);
  if (!separator || !is_accepted(narrative, separator->byte)) return std::nullopt;

  // One entry at most for each piece: the transaction code and the sub-fields.
  StructuredDetails details;
  details.reserve(separator->occurrences + 1, kTxCodeKey.size() + narrative.size());
  bool first = true;
  internal::for_each_piece(narrative, separator->byte, [&](std::string_view piece) {
    if (first) {
      first = false;
      std::string_view tx_code = trim_white_space(piece);
      if (!tx_code.empty()) details.insert_or_assign(kTxCodeKey, tx_code);
      return;
    }
    // A piece that does not open with two ASCII digits (among them one whose
    // byte 2 would fall inside a multi-byte character) is no sub-field.
    if (auto field = internal::cut_sub_field(piece)) {
      details.insert_or_assign(field->code, field->value);
    }
  });
  return details;
}

}  // namespace vardel
