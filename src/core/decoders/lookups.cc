// Counterparty, counter IBAN and purpose of a decoded narrative, whichever
// decoder built the map.
#include "core/decoders/lookups.hpp"

#include <charconv>

namespace vardel {

std::optional<std::string_view> detail_by_code(const StructuredDetails& details, int32_t code) {
  char buffer[12];  // "-2147483648" has 11 characters
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, code);
  (void)ec;  // cannot fail: the buffer holds every int32_t
  return details.find(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

void append_counterparty(std::string& out, const StructuredDetails& details) {
  if (auto name = details.find("32")) {
    out.append(*name);
    if (auto more = details.find("33")) {
      out.push_back(' ');
      out.append(*more);
    }
    return;
  }
  if (auto name = details.find("27")) {
    out.append(*name);
  } else if (auto other = details.find("NAME")) {
    out.append(*other);
  }
}

void append_counter_iban(std::string& out, const StructuredDetails& details) {
  for (std::string_view key : {"31", "30", "IBAN"}) {
    if (auto iban = details.find(key)) {
      out.append(*iban);
      return;
    }
  }
}

void append_purpose(std::string& out, const StructuredDetails& details) {
  // The entries "20" to "29" in ascending order: what detail_by_code gives
  // for 20, 21, ... 29, found in one walk over the sorted map.
  bool found = false;
  for (const StructuredDetails::Entry& e : details) {
    if (e.code > "29") break;
    if (e.code.size() != 2 || e.code < "20") continue;
    if (found) out.push_back(' ');
    out.append(e.value);
    found = true;
  }
  if (found) return;
  if (auto remi = details.find("REMI")) {
    out.append(*remi);
  } else if (auto eref = details.find("EREF")) {
    out.append(*eref);
  } else if (auto text = details.find("detail")) {
    out.append(*text);  // a free-text narrative is its own purpose
  }
}

std::string counterparty_from_details(const StructuredDetails& details) {
  std::string result;
  append_counterparty(result, details);
  return result;
}

std::string counter_iban_from_details(const StructuredDetails& details) {
  std::string result;
  append_counter_iban(result, details);
  return result;
}

std::string purpose_from_details(const StructuredDetails& details) {
  std::string result;
  append_purpose(result, details);
  return result;
}

}  // namespace vardel
