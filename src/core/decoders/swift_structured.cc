// The "swift-structured" decoder: slash-delimited narratives in which a code
// of three or four capital letters introduces the text after it.
#include "core/decoders/swift_structured.hpp"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "core/decoders/sub_field.hpp"
#include "core/text.hpp"

namespace vardel {
namespace {

// Any one of these makes a narrative slash-structured; tested in this order.
constexpr std::array<std::string_view, 5> kMarkers = {"/EREF/", "/NAME/", "/REMI/", "/BIC/",
                                                      "/IBAN/"};

// A key is 3 or 4 bytes, each an ASCII capital letter.
bool is_key(std::string_view piece) {
  if (piece.size() < 3 || piece.size() > 4) return false;
  return std::all_of(piece.begin(), piece.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool has_marker(std::string_view narrative) {
  return std::any_of(kMarkers.begin(), kMarkers.end(), [narrative](std::string_view marker) {
    return narrative.find(marker) != std::string_view::npos;
  });
}

}  // namespace

std::optional<StructuredDetails> SwiftStructuredDecoder::decode(std::string_view narrative) const {
  if (!has_marker(narrative)) return std::nullopt;

  // Every adjacent pair of pieces whose first is a key gives key -> trimmed
  // second. The pairs are gathered first and inserted in ascending key order,
  // so that a narrative with very many distinct keys costs n log n rather
  // than one vector shift per key.
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  std::string_view previous;
  bool first = true;
  internal::for_each_piece(narrative, '/', [&](std::string_view piece) {
    if (!first && is_key(previous)) pairs.emplace_back(previous, trim_white_space(piece));
    previous = piece;
    first = false;
  });

  // stable_sort keeps equal keys in text order: the last one wins.
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  StructuredDetails details;
  details.reserve(pairs.size(), narrative.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (i + 1 < pairs.size() && pairs[i + 1].first == pairs[i].first) continue;
    details.insert_or_assign(pairs[i].first, pairs[i].second);
  }
  return details;
}

}  // namespace vardel
