// Sorted offsets into one byte buffer: the map of a decoded narrative.
#include "core/structured_details.hpp"

#include <algorithm>

namespace vardel {

void StructuredDetails::reserve(size_t entries, size_t bytes) {
  offsets_.reserve(entries);
  // Each size takes one byte, and one more for every factor of 128 it
  // holds: a size s of 128 or more needs at most s / 128 extra bytes, so all
  // of them together need at most bytes / 128.
  bytes_.reserve(bytes + 2 * entries + bytes / 128);
}

size_t StructuredDetails::append(std::string_view code, std::string_view value) {
  const size_t offset = bytes_.size();
  for (size_t size : {code.size(), value.size()}) {
    for (; size >= 0x80; size >>= 7) bytes_.push_back(static_cast<char>((size & 0x7F) | 0x80));
    bytes_.push_back(static_cast<char>(size));
  }
  bytes_.append(code);
  bytes_.append(value);
  return offset;
}

// string_view comparison is char_traits<char>::compare, which compares bytes
// as unsigned values: ascending byte order.
std::vector<size_t>::const_iterator StructuredDetails::lower_bound(std::string_view code) const {
  return std::lower_bound(
      offsets_.begin(), offsets_.end(), code,
      [this](size_t offset, std::string_view c) { return entry(offset).code < c; });
}

void StructuredDetails::insert_or_assign(std::string_view code, std::string_view value) {
  // Decoders mostly meet codes in ascending order: append without a search.
  if (offsets_.empty() || entry(offsets_.back()).code < code) {
    offsets_.push_back(append(code, value));
    return;
  }
  auto it = lower_bound(code);
  const bool present = entry(*it).code == code;  // it is not end: the last code is >= code
  const size_t offset = append(code, value);
  if (present) {
    offsets_[static_cast<size_t>(it - offsets_.begin())] = offset;
  } else {
    offsets_.insert(it, offset);
  }
}

std::optional<std::string_view> StructuredDetails::find(std::string_view code) const {
  auto it = lower_bound(code);
  if (it == offsets_.end()) return std::nullopt;
  const Entry found = entry(*it);
  if (found.code != code) return std::nullopt;
  return found.value;
}

bool operator==(const StructuredDetails& a, const StructuredDetails& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace vardel
