// StructuredDetails: a decoded :86: narrative, a map from detail code to text.
//
// Kept as a vector sorted by code in ascending byte order: maps hold one to
// fifteen entries, so a sorted vector is smaller and faster than a hash map,
// and iteration gives the order the JSON export needs. A later value for a
// code replaces the earlier one.
//
//   vardel::StructuredDetails m;
//   m.insert_or_assign("NAME", "Max");
//   m.insert_or_assign("EREF", "E-1");      // iteration: EREF, NAME
//   const std::string* name = m.find("NAME");
#ifndef VARDEL_STRUCTURED_DETAILS_H_
#define VARDEL_STRUCTURED_DETAILS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vardel {

class StructuredDetails {
 public:
  struct Entry {
    std::string code;   // detail code, such as "EREF", "20", "gvc"
    std::string value;  // the text stored under it

    friend bool operator==(const Entry&, const Entry&) = default;
  };
  using const_iterator = std::vector<Entry>::const_iterator;

  // Inserts code -> value, replacing the value of an existing code.
  void insert_or_assign(std::string_view code, std::string_view value);
  // Makes room for `count` entries in all, so that inserting up to that many
  // allocates once.
  void reserve(size_t count) { entries_.reserve(count); }
  // The value under `code`, or nullptr when the code is absent. The pointer
  // stays valid until the map is next changed.
  [[nodiscard]] const std::string* find(std::string_view code) const;

  [[nodiscard]] size_t size() const { return entries_.size(); }
  [[nodiscard]] bool empty() const { return entries_.empty(); }
  // Entries in ascending byte order of their codes.
  [[nodiscard]] const_iterator begin() const { return entries_.begin(); }
  [[nodiscard]] const_iterator end() const { return entries_.end(); }

  friend bool operator==(const StructuredDetails&, const StructuredDetails&) = default;

 private:
  std::vector<Entry> entries_;  // sorted by code, codes distinct
};

}  // namespace vardel

#endif  // VARDEL_STRUCTURED_DETAILS_H_
