// AngularDecoder: the "angular" narrative decoder.
// Sub-fields after '<' or '^' and two digits: NTRF<20Rent<21 May<32John Doe.
#ifndef VARDEL_DECODERS_ANGULAR_H_
#define VARDEL_DECODERS_ANGULAR_H_

#include <optional>
#include <string_view>

#include "core/decoders/decoder.hpp"
#include "core/structured_details.hpp"

namespace vardel {

class AngularDecoder final : public Decoder {
 public:
  [[nodiscard]] std::optional<StructuredDetails> decode(std::string_view narrative) const override;
  [[nodiscard]] std::string_view name() const override { return "angular"; }
};

}  // namespace vardel

#endif  // VARDEL_DECODERS_ANGULAR_H_
