#include "core/event_blocks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <tuple>
#include <utility>

#include "core/seq_event.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Slabs double from one huge page up to four, so that the pages mapped but never filled stay
// below 8 MiB while a list of a million events needs only a few mappings.
constexpr size_t kFirstSlabBytes = kHugePage;
constexpr size_t kLargestSlabBytes = 4 * kHugePage;
constexpr size_t kBlockBytes = EventBlockPool::kBlockEvents * sizeof(SeqEvent);
static_assert(kFirstSlabBytes % kBlockBytes == 0);

#if defined(__linux__)
// Maps `bytes` (a multiple of kHugePage) of zero pages at a kHugePage boundary and asks for
// huge pages. Mapping one huge page more and cutting off both ends finds the boundary.
void* MapSlab(size_t bytes) {
  const size_t span = bytes + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) {
    throw std::bad_alloc();
  }
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) {
    munmap(raw, aligned - start);
  }
  const uintptr_t tail = start + span - (aligned + bytes);
  if (tail > 0) {
    munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  }
#if defined(MADV_HUGEPAGE)
  madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void UnmapSlab(void* base, size_t bytes) { munmap(base, bytes); }
#else
void* MapSlab(size_t bytes) { return ::operator new (bytes, std::align_val_t{64}); }
void UnmapSlab(void* base, size_t /*bytes*/) { ::operator delete (base, std::align_val_t{64}); }
#endif

// Slabs of pools gone, kept for the next compile of the process: a batch of long scores then
// maps and faults in its event memory once. At most kMaxSpareBytes are kept.
constexpr size_t kMaxSpareBytes = size_t{16} << 20;
std::mutex g_spareMutex;
std::array<std::pair<void*, size_t>, kMaxSpareBytes / kFirstSlabBytes> g_spareSlabs;
size_t g_spareCount = 0;
size_t g_spareBytes = 0;

// A kept slab (base and size), or {nullptr, 0} when none is kept.
std::pair<void*, size_t> TakeSpareSlab() {
  std::lock_guard<std::mutex> lock(g_spareMutex);
  if (g_spareCount == 0) {
    return {nullptr, 0};
  }
  const auto slab = g_spareSlabs[--g_spareCount];
  g_spareBytes -= slab.second;
  return slab;
}

// Keeps a slab for later when there is room, or unmaps it.
void ReleaseSlab(void* base, size_t bytes) {
  {
    std::lock_guard<std::mutex> lock(g_spareMutex);
    if (g_spareBytes + bytes <= kMaxSpareBytes) {
      g_spareSlabs[g_spareCount++] = {base, bytes};
      g_spareBytes += bytes;
      return;
    }
  }
  UnmapSlab(base, bytes);
}

}  // namespace

EventBlockPool::~EventBlockPool() {
  for (const Slab& slab : slabs_) {
    ReleaseSlab(slab.base, slab.bytes);
  }
}

SeqEvent* EventBlockPool::Take() {
  if (!free_.empty()) {
    SeqEvent* block = free_.back();
    free_.pop_back();
    return block;
  }
  if (next_ == end_) {
    const size_t bytes =
        slabs_.empty() ? kFirstSlabBytes : std::min(2 * slabs_.back().bytes, kLargestSlabBytes);
    slabs_.reserve(slabs_.size() + 1);  // so that a failed push_back cannot lose the mapping
    Slab slab{nullptr, 0};
    std::tie(slab.base, slab.bytes) = TakeSpareSlab();
    if (slab.base == nullptr) {
      slab = {MapSlab(bytes), bytes};
    }
    slabs_.push_back(slab);
    next_ = static_cast<char*>(slab.base);
    end_ = next_ + slab.bytes;
  }
  auto* block = reinterpret_cast<SeqEvent*>(next_);
  next_ += kBlockBytes;
  return block;
}
