// Sorted offsets into one byte buffer: the map of a decoded narrative.
#include "core/structured_details.hpp"

#include <algorithm>

namespace vardel {

size_t StructuredDetails::append(std::string_view code, std::string_view value) {
  const size_t offset = bytes_.size();
  for (size_t size : {code.size(), value.size()}) {
    while (size >= 0x80) {
      bytes_.push_back(static_cast<char>((size & 0x7F) | 0x80));
      size >>= 7;
    }
    bytes_.push_back(static_cast<char>(size));
  }
  bytes_.append(code);
  bytes_.append(value);
  return offset;
}

// string_view comparison is char_traits<char>::compare, which compares bytes
// as unsigned values: ascending byte order.
void StructuredDetails::insert_or_assign(std::string_view code, std::string_view value) {
  // Decoders mostly meet codes in ascending order: append without a search.
  if (slots_.empty() || entry(slots_.back()).code < code) {
    slots_.push_back(append(code, value));
    return;
  }
  auto it = std::lower_bound(slots_.begin(), slots_.end(), code,
                             [this](size_t s, std::string_view c) { return entry(s).code < c; });
  if (it != slots_.end() && entry(*it).code == code) {
    *it = append(code, value);
    return;
  }
  const size_t offset = append(code, value);
  slots_.insert(it, offset);
}

std::optional<std::string_view> StructuredDetails::find(std::string_view code) const {
  auto it = std::lower_bound(slots_.begin(), slots_.end(), code,
                             [this](size_t s, std::string_view c) { return entry(s).code < c; });
  if (it != slots_.end()) {
    Entry found = entry(*it);
    if (found.code == code) return found.value;
  }
  return std::nullopt;
}

bool operator==(const StructuredDetails& a, const StructuredDetails& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace vardel
