#include "core/huge_pages.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vardel {

void advise_huge_pages(void* data, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (data == nullptr || size < kHugePageBufferMin) return;
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (start + size) & ~(kHugePage - 1);
  // madvise only sets a flag on the mapping; a failure (no THP support, say)
  // leaves the buffer as it was, which is fine for a hint.
  if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

std::string new_output_buffer(std::size_t capacity) {
  std::string out;
  out.reserve(capacity);
  advise_huge_pages(out.data(), out.capacity());
  return out;
}

}  // namespace vardel
