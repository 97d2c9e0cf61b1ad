#include "core/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseHugePages(const void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kPage = 4096;
  constexpr size_t kWorthIt = size_t{4} << 20;  // two huge pages
  if (data == nullptr || bytes < kWorthIt) {
    return;
  }
  // From the page that holds the first byte: a large allocation is a mapping of its own whose
  // first page also holds the allocator's header, and the hint covers whole pages only.
  const uintptr_t start = reinterpret_cast<uintptr_t>(data) & ~(kPage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(data) + bytes;
  madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}
