// Look-ups over a decoded narrative: counterparty, counter IBAN and purpose,
// whichever decoder built the map, and detail_by_code.
//
// Presence alone decides: a present key with an empty value is used as it is
// and stops the fall-back to later keys.
#ifndef VARDEL_DECODERS_LOOKUPS_H_
#define VARDEL_DECODERS_LOOKUPS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/structured_details.hpp"

namespace vardel {

// The value under the decimal text of `code` ("5", "-3", never "05"), or
// nothing when absent. Valid while `details` is unchanged.
[[nodiscard]] std::optional<std::string_view> detail_by_code(const StructuredDetails& details,
                                                             int32_t code);

// "32" (with " " and "33" when present), else "27", else "NAME", else "".
[[nodiscard]] std::string counterparty_from_details(const StructuredDetails& details);
// The first present of "31", "30", "IBAN", else "".
[[nodiscard]] std::string counter_iban_from_details(const StructuredDetails& details);
// The present codes 20..29 in ascending order joined by " ", else "REMI",
// else "EREF", else "detail" (the unstructured decoder's whole narrative),
// else "".
[[nodiscard]] std::string purpose_from_details(const StructuredDetails& details);

// The same three look-ups appending to `out`, for writers that reuse one
// buffer across rows.
void append_counterparty(std::string& out, const StructuredDetails& details);
void append_counter_iban(std::string& out, const StructuredDetails& details);
void append_purpose(std::string& out, const StructuredDetails& details);

}  // namespace vardel

#endif  // VARDEL_DECODERS_LOOKUPS_H_
