// Counterparty, counter IBAN and purpose of a decoded narrative, whichever
// decoder built the map.
#include "core/decoders/lookups.hpp"

#include <charconv>
#include <string_view>

namespace vardel {

const std::string* detail_by_code(const StructuredDetails& details, int32_t code) {
  char buffer[12];  // "-2147483648" has 11 characters
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, code);
  (void)ec;  // cannot fail: the buffer holds every int32_t
  return details.find(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

std::string counterparty_from_details(const StructuredDetails& details) {
  if (const std::string* name = details.find("32")) {
    std::string result = *name;
    if (const std::string* more = details.find("33")) {
      result.push_back(' ');
      result.append(*more);
    }
    return result;
  }
  if (const std::string* name = details.find("27")) return *name;
  if (const std::string* name = details.find("NAME")) return *name;
  return {};
}

std::string counter_iban_from_details(const StructuredDetails& details) {
  for (std::string_view key : {"31", "30", "IBAN"}) {
    if (const std::string* iban = details.find(key)) return *iban;
  }
  return {};
}

std::string purpose_from_details(const StructuredDetails& details) {
  std::string result;
  bool found = false;
  for (int32_t code = 20; code <= 29; ++code) {
    if (const std::string* value = detail_by_code(details, code)) {
      if (found) result.push_back(' ');
      result.append(*value);
      found = true;
    }
  }
  if (found) return result;
  if (const std::string* remi = details.find("REMI")) return *remi;
  if (const std::string* eref = details.find("EREF")) return *eref;
  return {};
}

}  // namespace vardel
