// GermanGvcDecoder: the "german-gvc" narrative decoder.
// German business-transaction-code narratives: 166?00GUTSCHRIFT?20EREF+123?32Max Muster.
#ifndef VARDEL_DECODERS_GERMAN_GVC_H_
#define VARDEL_DECODERS_GERMAN_GVC_H_

#include <optional>
#include <string_view>

#include "core/decoders/decoder.hpp"
#include "core/structured_details.hpp"

namespace vardel {

class GermanGvcDecoder final : public Decoder {
 public:
  [[nodiscard]] std::optional<StructuredDetails> decode(std::string_view narrative) const override;
  [[nodiscard]] std::string_view name() const override { return "german-gvc"; }
};

}  // namespace vardel

#endif  // VARDEL_DECODERS_GERMAN_GVC_H_
