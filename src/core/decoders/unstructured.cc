// The fallback decoder: the whole narrative under "detail".
#include "core/decoders/unstructured.hpp"

namespace vardel {

std::optional<StructuredDetails> UnstructuredDecoder::decode(std::string_view narrative) const {
  StructuredDetails details;
  details.insert_or_assign("detail", narrative);
  return details;
}

}  // namespace vardel
