// Sorted-vector map of a decoded narrative.
#include "core/structured_details.hpp"

#include <algorithm>

namespace vardel {
namespace {

// std::string's comparison is char_traits<char>::compare, which compares
// bytes as unsigned values: ascending byte order.
template <class Entries>
auto lower_bound_code(Entries& entries, std::string_view code) {
  return std::lower_bound(entries.begin(), entries.end(), code,
                          [](const StructuredDetails::Entry& e, std::string_view c) {
                            return std::string_view(e.code) < c;
                          });
}

}  // namespace

void StructuredDetails::insert_or_assign(std::string_view code, std::string_view value) {
  // Decoders mostly meet codes in ascending order: append without a search.
  if (entries_.empty() || std::string_view(entries_.back().code) < code) {
    entries_.push_back(Entry{std::string(code), std::string(value)});
    return;
  }
  auto it = lower_bound_code(entries_, code);
  if (it != entries_.end() && it->code == code) {
    it->value.assign(value);
    return;
  }
  entries_.insert(it, Entry{std::string(code), std::string(value)});
}

const std::string* StructuredDetails::find(std::string_view code) const {
  auto it = lower_bound_code(entries_, code);
  if (it != entries_.end() && it->code == code) return &it->value;
  return nullptr;
}

}  // namespace vardel
