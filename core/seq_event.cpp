#include "core/seq_event.h"

#include <algorithm>
#include <cassert>
#include <utility>

void EventList::BlockStore::AddBlock() {
  // The first block grows as a vector does, so that short lists stay small; later blocks are
  // allocated whole and never move.
  blocks_.emplace_back();
  if (blocks_.size() > 1) {
    blocks_.back().reserve(kBlockSize);
  }
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
        merged.push_back(run.events[i++]);
      } else {
        merged.push_back(*late++);
      }
    }
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
    run.events.clear();
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
  for (int r = 0; r < kRuns; ++r) {
    const BlockStore& events = list.runs_[r].events;
    position_[r] = atEnd ? events.size() : 0;
    if (position_[r] < events.size()) {
      head_[r] = &events[0];
      runs_[active_++] = r;
    }
  }
  Pick();
}

void EventList::Iterator::Drop(int r) {
  head_[r] = nullptr;
  int kept = 0;
  for (int i = 0; i < active_; ++i) {
    if (runs_[i] != r) {
      runs_[kept++] = runs_[i];
    }
  }
  active_ = kept;
}
