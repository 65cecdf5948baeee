// The narrative-decoder interface and the chain that walks decoders in order.
//
// A :86: narrative is decoded by the first decoder of a DecoderChain that
// accepts it. Every chain ends with the UnstructuredDecoder, which accepts
// everything, so a well-formed chain always yields a map.
//
//   vardel::DecoderChain chain = vardel::DecoderChain::for_resolver("auto");
//   std::optional<vardel::StructuredDetails> m = chain.decode("/EREF/E-1");
#ifndef VARDEL_DECODERS_DECODER_H_
#define VARDEL_DECODERS_DECODER_H_

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/structured_details.hpp"

namespace vardel {

// Message of the internal error raised when every decoder of a chain
// declines: a broken invariant, never bad input.
inline constexpr std::string_view kBrokenChainMessage =
    "internal error: entered unreachable code: UnstructuredDecoder must be the last decoder "
    "in every chain";

// Decoders hold no state: every call builds a new map, and one instance may
// be used by many threads at once.
class Decoder {
 public:
  virtual ~Decoder() = default;
  // A new map for `narrative`, or nullopt when the decoder declines it.
  [[nodiscard]] virtual std::optional<StructuredDetails> decode(
      std::string_view narrative) const = 0;
  // The decoder's fixed name, such as "german-gvc".
  [[nodiscard]] virtual std::string_view name() const = 0;
};

class DecoderChain {
 public:
  DecoderChain() = default;
  explicit DecoderChain(std::vector<std::unique_ptr<Decoder>> decoders)
      : decoders_(std::move(decoders)) {}

  // "auto": swift-structured, german-gvc, angular, unstructured; "swift",
  // "gvc", "angular": that decoder, then unstructured; any other name, the
  // empty one included, the chain of "auto". Compared byte for byte.
  [[nodiscard]] static DecoderChain for_resolver(std::string_view resolver);

  // The map of the first decoder that accepts `narrative`. nullopt only when
  // every decoder declines, which a chain of for_resolver never does: the
  // caller reports that as the internal error kBrokenChainMessage.
  [[nodiscard]] std::optional<StructuredDetails> decode(std::string_view narrative) const;

  [[nodiscard]] size_t size() const { return decoders_.size(); }
  [[nodiscard]] const Decoder& operator[](size_t i) const { return *decoders_[i]; }

 private:
  std::vector<std::unique_ptr<Decoder>> decoders_;  // owned, tried in order
};

}  // namespace vardel

#endif  // VARDEL_DECODERS_DECODER_H_
