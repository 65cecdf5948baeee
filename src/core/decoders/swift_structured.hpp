// SwiftStructuredDecoder: the "swift-structured" narrative decoder.
// Slash-delimited segments such as /EREF/E-1/REMI/Invoice 7: keys of three or four capital letters.
#ifndef VARDEL_DECODERS_SWIFT_STRUCTURED_H_
#define VARDEL_DECODERS_SWIFT_STRUCTURED_H_

#include <optional>
#include <string_view>

#include "core/decoders/decoder.hpp"
#include "core/structured_details.hpp"

namespace vardel {

class SwiftStructuredDecoder final : public Decoder {
 public:
  [[nodiscard]] std::optional<StructuredDetails> decode(std::string_view narrative) const override;
  [[nodiscard]] std::string_view name() const override { return "swift-structured"; }
};

}  // namespace vardel

#endif  // VARDEL_DECODERS_SWIFT_STRUCTURED_H_
