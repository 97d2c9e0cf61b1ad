#include "core/seq_event.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace {

// The first block of a run starts this small and doubles until it holds a whole block.
constexpr size_t kFirstBlockStart = 16;

}  // namespace

EventList::BlockStore& EventList::BlockStore::operator=(BlockStore&& other) noexcept {
  first_ = std::move(other.first_);
  firstCapacity_ = std::exchange(other.firstCapacity_, 0);
  blocks_ = std::move(other.blocks_);
  other.blocks_.clear();
  tail_ = std::exchange(other.tail_, nullptr);
  limit_ = std::exchange(other.limit_, nullptr);
  size_ = std::exchange(other.size_, 0);
  return *this;
}

void EventList::BlockStore::Grow(PoolPointer& pool) {
  if (size_ < kBlockSize) {
    // The first block is still growing: copy it into one twice its size.
    const size_t capacity = firstCapacity_ == 0 ? kFirstBlockStart : 2 * firstCapacity_;
    auto grown = std::make_unique<SeqEvent[]>(capacity);
    std::copy(first_.get(), first_.get() + size_, grown.get());
    if (blocks_.empty()) {
      blocks_.push_back(nullptr);
    }
    first_ = std::move(grown);
    firstCapacity_ = capacity;
    blocks_[0] = first_.get();
    tail_ = first_.get() + size_;
    limit_ = first_.get() + capacity;
    return;
  }
  if (pool == nullptr) {
    pool = std::make_shared<EventBlockPool>();
  }
  blocks_.reserve(blocks_.size() + 1);  // so that the block taken is never lost
  SeqEvent* block = pool->Take();
  blocks_.push_back(block);
  tail_ = block;
  limit_ = block + kBlockSize;
}

void EventList::BlockStore::clear(EventBlockPool* pool) {
  for (size_t b = 1; b < blocks_.size(); ++b) {
    pool->Give(blocks_[b]);
  }
  *this = BlockStore();
}

EventList::EventList(const EventList& other) { *this = other; }

EventList& EventList::operator=(const EventList& other) {
  if (this == &other) {
    return *this;
  }
  clear();
  pool_ = other.pool_;
  for (int r = 0; r < kRuns; ++r) {
    const BlockStore& events = other.runs_[r].events;
    for (size_t i = 0; i < events.size(); ++i) {
      runs_[r].events.push_back(events[i], pool_);
    }
    runs_[r].late = other.runs_[r].late;
  }
  return *this;
}

SeqEvent& EventList::operator[](Handle handle) {
  Run& run = runs_[(handle & ~kLateBit) >> kRunShift];
  const size_t index = handle & kIndexMask;
  return (handle & kLateBit) != 0 ? run.late[index] : run.events[index];
}

void EventList::Sort() {
  for (Run& run : runs_) {
    if (run.late.empty()) {
      continue;
    }
    std::sort(run.late.begin(), run.late.end(), SeqEventOrder());
    BlockStore merged;
    size_t i = 0;
    auto late = run.late.begin();
    while (i < run.events.size() || late != run.late.end()) {
      if (late == run.late.end() ||
          (i < run.events.size() && !SeqEventOrder()(*late, run.events[i]))) {
        merged.push_back(run.events[i++], pool_);
      } else {
        merged.push_back(*late++, pool_);
      }
    }
    run.events.clear(pool_.get());
    run.events = std::move(merged);
    run.late.clear();
    run.late.shrink_to_fit();
  }
}

size_t EventList::size() const {
  size_t total = 0;
  for (const Run& run : runs_) {
    total += run.events.size() + run.late.size();
  }
  return total;
}

void EventList::clear() {
  for (Run& run : runs_) {
    run.events.clear(pool_.get());
    run.late.clear();
  }
}

EventList::Iterator EventList::begin() const { return Iterator(*this, false); }

EventList::Iterator EventList::end() const { return Iterator(*this, true); }

const SeqEvent& EventList::back() const {
  const SeqEvent* last = nullptr;
  for (const Run& run : runs_) {
    if (run.events.size() != 0 && (last == nullptr || SeqEventOrder()(*last, run.events.back()))) {
      last = &run.events.back();
    }
  }
  assert(last != nullptr);
  return *last;
}

EventList::Iterator::Iterator(const EventList& list, bool atEnd) : list_(&list) {
  for (int r = 0; r < kRuns && !atEnd; ++r) {
    const BlockStore& events = list.runs_[r].events;
    if (events.size() != 0) {
      head_[r] = events.block(0);
      blockEnd_[r] = head_[r] + events.blockFill(0);
      key_[r] = KeyOf(head_[r]);
      runs_[active_++] = r;
    }
  }
  Pick();
}

void EventList::Iterator::NextBlock(int r) {
  const BlockStore& events = list_->runs_[r].events;
  const size_t b = ++block_[r];
  if (b < events.blockCount()) {
    head_[r] = events.block(b);
    blockEnd_[r] = head_[r] + events.blockFill(b);
    return;
  }
  head_[r] = nullptr;
  int kept = 0;
  for (int i = 0; i < active_; ++i) {
    if (runs_[i] != r) {
      runs_[kept++] = runs_[i];
    }
  }
  active_ = kept;
}
