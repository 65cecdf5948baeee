// StructuredDetails: a decoded :86: narrative, a map from detail code to text.
//
// Maps hold one to fifteen entries, so the map is a sorted index of offsets
// into one byte buffer rather than a node-based or hash map: two allocations
// a map whatever its size, about ten bytes of overhead an entry, and
// iteration in ascending byte order of the codes, which the JSON export
// needs. A later value for a code replaces the earlier one.
//
//   vardel::StructuredDetails m;
//   m.insert_or_assign("NAME", "Max");
//   m.insert_or_assign("EREF", "E-1");      // iteration: EREF, NAME
//   std::optional<std::string_view> name = m.find("NAME");
#ifndef VARDEL_STRUCTURED_DETAILS_H_
#define VARDEL_STRUCTURED_DETAILS_H_

#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardel {

class StructuredDetails {
 public:
  // One entry, viewing the map's own bytes: valid until the map is next
  // changed, moved or destroyed.
  struct Entry {
    std::string_view code;   // detail code, such as "EREF", "20", "gvc"
    std::string_view value;  // the text stored under it

    friend bool operator==(const Entry&, const Entry&) = default;
  };

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Entry;

    const_iterator() = default;
    Entry operator*() const { return map_->entry(*offset_); }
    const_iterator& operator++() {
      ++offset_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++offset_;
      return before;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.offset_ == b.offset_;
    }

   private:
    friend class StructuredDetails;
    const_iterator(const StructuredDetails* map, std::vector<size_t>::const_iterator offset)
        : map_(map), offset_(offset) {}
    const StructuredDetails* map_ = nullptr;
    std::vector<size_t>::const_iterator offset_;
  };

  // Inserts code -> value, replacing the value of an existing code.
  void insert_or_assign(std::string_view code, std::string_view value);
  // Makes room for `entries` entries holding `bytes` bytes of codes and
  // values in all, so that filling the map allocates twice at most.
  void reserve(size_t entries, size_t bytes);
  // The value under `code`, or nothing when the code is absent. The view is
  // valid until the map is next changed, moved or destroyed.
  [[nodiscard]] std::optional<std::string_view> find(std::string_view code) const;

  [[nodiscard]] size_t size() const { return offsets_.size(); }
  [[nodiscard]] bool empty() const { return offsets_.empty(); }
  // Entries in ascending byte order of their codes.
  [[nodiscard]] const_iterator begin() const { return {this, offsets_.begin()}; }
  [[nodiscard]] const_iterator end() const { return {this, offsets_.end()}; }

  // Equal when both hold the same codes with the same values.
  friend bool operator==(const StructuredDetails& a, const StructuredDetails& b);

 private:
  // The entry whose record starts at `offset` in bytes_.
  [[nodiscard]] Entry entry(size_t offset) const {
    const char* p = bytes_.data() + offset;
    const size_t code_size = read_size(p);
    const size_t value_size = read_size(p);
    return {std::string_view(p, code_size), std::string_view(p + code_size, value_size)};
  }
  // Reads a size written by append and moves `p` past it.
  static size_t read_size(const char*& p) {
    size_t size = 0;
    for (unsigned shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(*p++);
      size |= static_cast<size_t>(byte & 0x7F) << shift;
      if (byte < 0x80) return size;
    }
  }
  // Appends the record of code -> value to bytes_ and returns its offset.
  size_t append(std::string_view code, std::string_view value);
  // The first offset whose code is not less than `code`.
  [[nodiscard]] std::vector<size_t>::const_iterator lower_bound(std::string_view code) const;

  // One record an entry: the code's size and the value's size, each in
  // seven-bit groups, low group first, with the high bit set on all but
  // the last; then the code's bytes and the value's. Almost every size
  // takes one byte. A replaced value's record stays behind unused:
  // replacements are rare and maps are small.
  std::string bytes_;
  std::vector<size_t> offsets_;  // record offsets, sorted by code; codes distinct
};

}  // namespace vardel

#endif  // VARDEL_STRUCTURED_DETAILS_H_
