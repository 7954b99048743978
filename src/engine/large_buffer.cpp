#include "engine/large_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace morvane {

void reserveLargeBuffer(std::string& text, std::size_t size) {
  text.reserve(size);
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  if (size < 2 * kHugePage) return;
  // Only whole huge pages inside the reservation, which nothing has touched
  // yet; the advice is a hint and its failure changes nothing.
  const auto start = reinterpret_cast<std::uintptr_t>(text.data());
  const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace morvane
