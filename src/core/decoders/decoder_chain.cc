// The walk through a DecoderChain and the resolver-name table.
#include "core/decoders/decoder.hpp"

#include "core/decoders/angular.hpp"
#include "core/decoders/german_gvc.hpp"
#include "core/decoders/swift_structured.hpp"
#include "core/decoders/unstructured.hpp"

namespace vardel {

std::optional<StructuredDetails> DecoderChain::decode(std::string_view narrative) const {
  for (const auto& decoder : decoders_) {
    if (auto details = decoder->decode(narrative)) return details;
  }
  return std::nullopt;
}

DecoderChain DecoderChain::for_resolver(std::string_view resolver) {
  std::vector<std::unique_ptr<Decoder>> decoders;
  if (resolver == "swift") {
    decoders.push_back(std::make_unique<SwiftStructuredDecoder>());
  } else if (resolver == "gvc") {
    decoders.push_back(std::make_unique<GermanGvcDecoder>());
  } else if (resolver == "angular") {
    decoders.push_back(std::make_unique<AngularDecoder>());
  } else {  // "auto" and every other name
    decoders.push_back(std::make_unique<SwiftStructuredDecoder>());
    decoders.push_back(std::make_unique<GermanGvcDecoder>());
    decoders.push_back(std::make_unique<AngularDecoder>());
  }
  decoders.push_back(std::make_unique<UnstructuredDecoder>());
  return DecoderChain(std::move(decoders));
}

}  // namespace vardel
