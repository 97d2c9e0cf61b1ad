#include "core/seq_event.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

// The first block of a list starts this small and doubles until it holds a whole block.
constexpr size_t kFirstBlockStart = 16;

// The track order of an event as two numbers compared in turn: its time, then kind, channel
// and serial as one number, so that events at equal times (a track's channels at one moment)
// are told apart without a branch on each field. That number is the word of serial, channel,
// kind and zero as stored, with the kind inverted (a larger kind sorts first) and the channel's
// sign bit flipped (-1 sorts first): one load instead of three, for every event sorted.
struct OrderKey {
  int64_t time;
  uint64_t rest;

  explicit OrderKey(const SeqEvent& e) : time(e.time), rest(Word(e) ^ kFlips) {}
  bool operator<(const OrderKey& other) const {
    return (time < other.time) | ((time == other.time) & (rest < other.rest));
  }

 private:
  static_assert(offsetof(SeqEvent, channel) == offsetof(SeqEvent, serial) + 4 &&
                offsetof(SeqEvent, type) == offsetof(SeqEvent, serial) + 5 &&
                offsetof(SeqEvent, zero) == offsetof(SeqEvent, serial) + 6 &&
                std::endian::native == std::endian::little &&
                std::is_trivially_copyable_v<SeqEvent>);
  static constexpr uint64_t kFlips = uint64_t{0xFF} << 40 | uint64_t{0x80} << 32;
  static uint64_t Word(const SeqEvent& e) {
    uint64_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&e) + offsetof(SeqEvent, serial),
                sizeof(word));
    return word;
  }
};

OrderKey SmallestKey() {
  SeqEvent smallest;
  smallest.time = std::numeric_limits<int64_t>::min();
  smallest.type = 255;
  smallest.channel = std::numeric_limits<int8_t>::min();
  return OrderKey(smallest);
}

// SeqEventOrder()(a, b), the same way.
bool Before(const SeqEvent& a, const SeqEvent& b) { return OrderKey(a) < OrderKey(b); }

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
  for (size_t i = 0; i < other.events_.size(); ++i) {
    events_.push_back(other.events_[i], pool_);
  }
  ordered_ = other.ordered_;
  sorted_ = other.sorted_;
  return *this;
}

void EventList::Sort() {
  if (ordered_) {
    return;
  }
  ordered_ = true;
  std::vector<SeqEvent> strays;
  size_t placed = sorted_;  // [0, placed) is in track order
  // The order of events_[placed - 1]; with none, the smallest there is, so that no event sorts
  // before it.
  OrderKey newest = placed == 0 ? SmallestKey() : OrderKey(events_[placed - 1]);
  size_t i = placed;
  for (size_t b = placed >> kBlockShift; b < events_.blockCount(); ++b) {
    SeqEvent* event = events_.block(b) + (i & (kBlockSize - 1));
    for (SeqEvent* end = events_.block(b) + events_.blockFill(b); event != end; ++event, ++i) {
      const OrderKey key(*event);
      if (!(key < newest)) {
        if (!strays.empty()) {  // every event after a stray moves down
          events_[placed] = *event;
        }
        newest = key;
        ++placed;
      } else if (ShiftIntoPlace(i, placed)) {
        newest = OrderKey(events_[placed++]);
      } else {
        strays.push_back(*event);
      }
    }
  }
  if (!strays.empty()) {
    std::sort(strays.begin(), strays.end(), SeqEventOrder());
    MergeStrays(strays, placed);
  }
  sorted_ = events_.size();
}

bool EventList::ShiftIntoPlace(size_t from, size_t placed) {
  const SeqEvent event = events_[from];
  const OrderKey key(event);
  if ((placed & (kBlockSize - 1)) > kShiftReach) {
    // The events it may pass and the one before them share a block: move it like an insertion
    // sort, and take the moves back in the rare case that it belongs further.
    SeqEvent* hole = &events_[placed];
    SeqEvent* const floor = hole - kShiftReach;
    while (hole != floor && key < OrderKey(hole[-1])) {
      *hole = hole[-1];
      --hole;
    }
    if (hole == floor && key < OrderKey(floor[-1])) {
      std::copy(floor + 1, floor + kShiftReach + 1, floor);
      floor[kShiftReach] = event;  // its place when it was there, else an unused one
      return false;
    }
    *hole = event;
    return true;
  }
  size_t at = placed;  // where it goes: [at, placed) come after it
  while (at > 0 && key < OrderKey(events_[at - 1])) {
    if (placed - at == kShiftReach) {
      return false;
    }
    --at;
  }
  for (size_t k = placed; k > at; --k) {
    events_[k] = events_[k - 1];
  }
  events_[at] = event;
  return true;
}

void EventList::MergeStrays(const std::vector<SeqEvent>& strays, size_t placed) {
  assert(placed + strays.size() == events_.size());
  // From the back, so that every event moves once and nothing is overwritten before it moves.
  // The events in place move in runs, all that come after a stray at once: the defaults a
  // finished MA1 track gets at time 0 come after all of it, and moving it event by event took
  // 8% of a long compile.
  size_t out = events_.size();
  size_t kept = placed;
  for (size_t s = strays.size(); s > 0; --s) {
    const SeqEvent& stray = strays[s - 1];
    const size_t from = FirstAfter(stray, kept);
    MoveUp(from, kept, out);
    out -= kept - from;
    kept = from;
    events_[--out] = stray;
  }
}

size_t EventList::FirstAfter(const SeqEvent& event, size_t end) const {
  // Strays mostly belong near the end of what is left: widen the search from there.
  size_t low = end;
  size_t step = 1;
  while (low > 0 && Before(event, events_[low - 1])) {
    end = low - 1;  // events_[end] comes after `event`
    low = step < low ? low - step : 0;
    step *= 2;
  }
  // events_[low - 1] (if any) does not come after `event`; events_[end] does (or end is the end).
  while (low < end) {
    const size_t mid = low + (end - low) / 2;
    if (Before(event, events_[mid])) {
      end = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

void EventList::MoveUp(size_t from, size_t end, size_t to) {
  // Block by block: a run of events is contiguous only within a block.
  while (end > from) {
    const size_t sourceRun = ((end - 1) & (kBlockSize - 1)) + 1;
    const size_t targetRun = ((to - 1) & (kBlockSize - 1)) + 1;
    const size_t run = std::min({end - from, sourceRun, targetRun});
    const SeqEvent* sourceLast = &events_[end - 1];
    std::copy_backward(sourceLast + 1 - run, sourceLast + 1, &events_[to - 1] + 1);
    end -= run;
    to -= run;
  }
}

void EventList::clear() {
  events_.clear(pool_.get());
  ordered_ = true;
  sorted_ = 0;
}

EventList::Iterator EventList::begin() const { return Iterator(&events_); }

EventList::Iterator EventList::end() const { return Iterator(); }

const SeqEvent& EventList::back() const {
  assert(!empty());
  if (ordered_) {
    return events_.back();
  }
  const SeqEvent* last = &events_[0];
  for (size_t i = 1; i < events_.size(); ++i) {
    if (SeqEventOrder()(*last, events_[i])) {
      last = &events_[i];
    }
  }
  return *last;
}
