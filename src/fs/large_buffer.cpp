#include "fs/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace vk {

void ReserveLarge(std::string& buffer, std::size_t size) {
  if (buffer.capacity() >= size) return;
  buffer.reserve(size);
#if defined(MADV_HUGEPAGE)
  // Only whole huge pages inside the buffer.
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (size >= 2 * kHugePage) {
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = (begin + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
    const std::uintptr_t last = (begin + size) & ~std::uintptr_t{kHugePage - 1};
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#endif
}

}  // namespace vk
