// UnstructuredDecoder: the "unstructured" narrative decoder.
// Accepts every narrative and keeps it whole under the one key "detail".
#ifndef VARDEL_DECODERS_UNSTRUCTURED_H_
#define VARDEL_DECODERS_UNSTRUCTURED_H_

#include <optional>
#include <string_view>

#include "core/decoders/decoder.hpp"
#include "core/structured_details.hpp"

namespace vardel {

class UnstructuredDecoder final : public Decoder {
 public:
  [[nodiscard]] std::optional<StructuredDetails> decode(std::string_view narrative) const override;
  [[nodiscard]] std::string_view name() const override { return "unstructured"; }
};

}  // namespace vardel

#endif  // VARDEL_DECODERS_UNSTRUCTURED_H_
