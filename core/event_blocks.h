#ifndef QUAVREX_CORE_EVENT_BLOCKS_H_
#define QUAVREX_CORE_EVENT_BLOCKS_H_

#include <cstddef>
#include <vector>

struct SeqEvent;

// Fixed-size blocks of event memory for event lists, carved from slabs that are mapped from the
// system and freed together when the pool goes.
//
// A long score makes hundreds of thousands of events, and every new 4 KiB page of them costs a
// page fault (microseconds on a virtual machine). The slabs are aligned to 2 MiB and marked for
// huge pages where the system offers them on request, so that filling them takes one fault per
// 2 MiB. Only long lists ask for blocks at all; a short list never maps a slab. Failing to map
// memory throws std::bad_alloc, as new does.
class EventBlockPool {
 public:
  // Events per block: 64 KiB of 32-byte events.
  static constexpr size_t kBlockShift = 11;
  static constexpr size_t kBlockEvents = size_t{1} << kBlockShift;

  EventBlockPool() = default;
  EventBlockPool(const EventBlockPool&) = delete;
  EventBlockPool& operator=(const EventBlockPool&) = delete;
  ~EventBlockPool();

  // Room for kBlockEvents events, uninitialised; stays valid until the pool goes.
  SeqEvent* Take();
  // Hands a block taken from this pool back for a later Take().
  void Give(SeqEvent* block) { free_.push_back(block); }

 private:
  struct Slab {
    void* base;
    size_t bytes;
  };
  std::vector<Slab> slabs_;
  std::vector<SeqEvent*> free_;
  char* next_ = nullptr;  // the unused rest of the newest slab: [next_, end_)
  char* end_ = nullptr;
};

#endif  // QUAVREX_CORE_EVENT_BLOCKS_H_
