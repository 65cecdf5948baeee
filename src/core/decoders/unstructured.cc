// The fallback decoder: the whole narrative under "detail".
#include "core/decoders/unstructured.hpp"

namespace vardel {

std::optional<StructuredDetails> UnstructuredDecoder::decode(std::string_view narrative) const {
  constexpr std::string_view kKey = "detail";
  StructuredDetails details;
  details.reserve(1, kKey.size() + narrative.size());
  details.insert_or_assign(kKey, narrative);
  return details;
}

}  // namespace vardel
