#include "core/utf8.hpp"

#include <algorithm>

namespace vardel {

Utf8Census take_utf8_census(std::string_view text) {
  std::size_t continuation = 0;
  unsigned char largest = 0;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    continuation += (byte & 0xC0) == 0x80;
    largest = std::max(largest, byte);
  }
  Utf8Census census;
  census.code_points = text.size() - continuation;
  census.max_char = largest < 0x80    ? 0x7F
                    : largest <= 0xC3 ? 0xFF
                    : largest <= 0xEF ? 0xFFFF
                                      : 0x10FFFF;
  return census;
}

}  // namespace vardel
