#ifndef QUAVREX_CORE_SEQ_EVENT_H_
#define QUAVREX_CORE_SEQ_EVENT_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/event_blocks.h"

// Event kinds of the track event lists. At equal time a larger kind sorts first.
enum EventType {
  EV_FREQ_NOTE = 10,     // F-number low byte; high bits and block; 1 key-on, 2 legato, 0 key-off
  EV_NOTE = 20,          // note number; duration in ticks
  EV_ADPCM_NOTE = 25,    // wave slot 1-10; gate in ticks
  EV_END_OF_TRACK = 30,  // no parameters
  EV_MODULATION = 50,    // value; form flag
  EV_PAN = 60,           // pan 0-127
  EV_EXPRESSION = 70,    // value; form flag
  EV_VOLUME = 80,        // volume 0-127
  EV_VOICE = 90,         // voice number; bank
};

// The up to three parameters of an event, held inline. The second one is the duration or gate
// of a note, a tick count that can be any 64-bit value; the first and the third are small
// (note, wave or voice numbers, control values, F-number bytes).
class EventParams {
 public:
  EventParams() = default;
  EventParams(int64_t first) : first_(static_cast<int32_t>(first)), count_(1) {}
  EventParams(int64_t first, int64_t second)
      : second_(second), first_(static_cast<int32_t>(first)), count_(2) {}
  EventParams(int64_t first, int64_t second, int64_t third)
      : second_(second),
        first_(static_cast<int32_t>(first)),
        third_(static_cast<int16_t>(third)),
        count_(3) {}

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The parameter at `index`; 0 past the last one.
  int64_t operator[](size_t index) const {
    if (index >= count_) {
      return 0;
    }
    return index == 0 ? first_ : index == 1 ? second_ : third_;
  }
  // Replaces the parameter at `index` (< size()). Only the second is a tick count; the others
  // are values the compiler keeps small.
  void Set(size_t index, int64_t value) {
    if (index == 1) {
      second_ = value;
    } else if (index == 0) {
      first_ = static_cast<int32_t>(value);
    } else {
      third_ = static_cast<int16_t>(value);
    }
  }

  // Stores these parameters in `target` field by field. Copying the whole value, which the
  // caller has just built on the stack, would read it back in wider pieces than it was written:
  // the processor cannot forward those stores and stalls on every event.
  void StoreIn(EventParams& target) const {
    target.second_ = second_;
    target.first_ = first_;
    target.third_ = third_;
    target.count_ = count_;
  }

 private:
  int64_t second_ = 0;
  int32_t first_ = 0;
  int16_t third_ = 0;
  uint8_t count_ = 0;
};

// One timed event of a track: a plain record, copied and sorted by value.
struct SeqEvent {
  int64_t time = 0;  // ticks of the track timebase
  EventParams params;
  // The sort reads the next four fields as one word (see seq_event.cpp), so they stay together
  // and the last one stays zero.
  uint32_t serial = 0;  // creation number, unique within one compile
  int8_t channel = 0;   // channel within the track, 0-3; -1 for the end of a silent track
  uint8_t type = 0;     // an EventType
  uint16_t zero = 0;
};

// A million events fit in 32 MiB.
static_assert(sizeof(SeqEvent) <= 32);

// Track order: time, then larger type first, then channel, then creation serial.
struct SeqEventOrder {
  bool operator()(const SeqEvent& a, const SeqEvent& b) const {
    if (a.time != b.time) {
      return a.time < b.time;
    }
    if (a.type != b.type) {
      return a.type > b.type;
    }
    if (a.channel != b.channel) {
      return a.channel < b.channel;
    }
    return a.serial < b.serial;
  }
};

// The events of one track, appended in creation order and put in track order once, by Sort(),
// before they are written. A handle returned by Add() names its event until Sort() runs.
//
// The scheduler makes events almost in track order: pass by pass in time, so an event is
// seldom far from its place. The exceptions are near (the channels of a track interleave at
// one time, where a larger kind sorts first; a key-off is made ahead of the notes that come
// before it) or few (defaults a finished track gets at time 0). Sort() therefore moves each
// event back a short way when it must, and sorts only the few that would have to go further,
// which makes the order in time linear in the list for the events a compile makes.
// Events are stored in blocks that never move, so a growing list copies nothing.
class EventList {
 public:
  using Handle = uint32_t;
  // The pool of the list's blocks, made when the list first needs a block from it unless the
  // list was given one to share. Held by pointer so that a moved list keeps its blocks where
  // they are.
  using PoolPointer = std::shared_ptr<EventBlockPool>;

  EventList() = default;
  EventList(const EventList& other);
  EventList& operator=(const EventList& other);
  // A moved-from list is empty.
  EventList(EventList&& other) noexcept { *this = std::move(other); }
  EventList& operator=(EventList&& other) noexcept {
    pool_ = std::move(other.pool_);
    events_ = std::move(other.events_);
    ordered_ = std::exchange(other.ordered_, true);
    sorted_ = std::exchange(other.sorted_, 0);
    return *this;
  }
  ~EventList() = default;

  // Takes further blocks from `pool`, which other lists may share (one compile's lists share
  // one, so that only one partly filled slab is mapped for all of them). A copy of the list
  // shares its pool. Blocks go back to the pool when the list is cleared, and are freed with
  // the pool.
  void SharePool(PoolPointer pool) { pool_ = std::move(pool); }

  // Appends an event; the handle names it until Sort() runs.
  Handle Add(const SeqEvent& event) {
    return Add(event.time, event.type, event.params, event.channel, event.serial);
  }
  // The same for an event given by its fields. The record is written in place, field by field:
  // building it elsewhere and copying it whole stalls the processor on every event.
  Handle Add(int64_t time, int type, EventParams params, int channel, uint32_t serial) {
    ordered_ = false;
    SeqEvent* event = events_.Append(pool_);
    event->time = time;
    params.StoreIn(event->params);
    event->serial = serial;
    event->type = static_cast<uint8_t>(type);
    event->channel = static_cast<int8_t>(channel);
    return static_cast<Handle>(events_.size() - 1);
  }
  // The set-like name of Add(), for callers that build lists by hand.
  void insert(const SeqEvent& event) { Add(event); }

  SeqEvent& operator[](Handle handle) { return events_[handle]; }

  // Puts the events in track order (SeqEventOrder); cheap when they almost are, and for the
  // events sorted by an earlier call, which it does not read again unless a new one goes
  // among them.
  void Sort();

  size_t size() const { return events_.size(); }
  bool empty() const { return size() == 0; }
  void clear();

  // Track order after Sort(); creation order before it.
  class Iterator;
  Iterator begin() const;
  Iterator end() const;
  // The last event in track order; the list must not be empty.
  const SeqEvent& back() const;

 private:
  static constexpr size_t kBlockShift = EventBlockPool::kBlockShift;
  static constexpr size_t kBlockSize = EventBlockPool::kBlockEvents;
  // How far back Sort() moves an event in place; one that must go further is sorted apart.
  static constexpr size_t kShiftReach = 32;

  // Events in blocks of kBlockSize; every block but the last is full. The first block is the
  // list's own and grows as a vector does, so that short lists stay small; the later ones come
  // from the list's pool and never move.
  class BlockStore {
   public:
    BlockStore() = default;
    BlockStore(const BlockStore&) = delete;
    BlockStore& operator=(const BlockStore&) = delete;
    BlockStore(BlockStore&& other) noexcept { *this = std::move(other); }
    BlockStore& operator=(BlockStore&& other) noexcept;
    ~BlockStore() = default;

    size_t size() const { return size_; }
    SeqEvent& operator[](size_t i) { return blocks_[i >> kBlockShift][i & (kBlockSize - 1)]; }
    const SeqEvent& operator[](size_t i) const {
      return blocks_[i >> kBlockShift][i & (kBlockSize - 1)];
    }
    const SeqEvent& back() const { return tail_[-1]; }
    // Room for one more event at the end, for the caller to fill.
    SeqEvent* Append(PoolPointer& pool) {
      if (tail_ == limit_) {
        Grow(pool);
      }
      ++size_;
      return new (tail_++) SeqEvent;
    }
    void push_back(const SeqEvent& event, PoolPointer& pool) { *Append(pool) = event; }
    // Empties the store; its pool blocks go back to `pool`.
    void clear(EventBlockPool* pool);

    size_t blockCount() const { return blocks_.size(); }
    // Block `b` and the number of events in it.
    const SeqEvent* block(size_t b) const { return blocks_[b]; }
    SeqEvent* block(size_t b) { return blocks_[b]; }
    size_t blockFill(size_t b) const { return std::min(kBlockSize, size_ - (b << kBlockShift)); }

   private:
    void Grow(PoolPointer& pool);

    std::unique_ptr<SeqEvent[]> first_;
    size_t firstCapacity_ = 0;
    std::vector<SeqEvent*> blocks_;  // first_, then the blocks from the pool
    SeqEvent* tail_ = nullptr;       // where the next event goes, inside the last block
    SeqEvent* limit_ = nullptr;      // the end of the last block
    size_t size_ = 0;
  };

  // Puts the event at `from` into the track order of [0, placed), moving at most kShiftReach
  // events up by one; false, moving nothing, when it belongs further back.
  bool ShiftIntoPlace(size_t from, size_t placed);
  // Merges `strays` (in track order) into [0, placed), which ends the list.
  void MergeStrays(const std::vector<SeqEvent>& strays, size_t placed);
  // The first of the events [0, end), in track order, that comes after `event`.
  size_t FirstAfter(const SeqEvent& event, size_t end) const;
  // Moves the events [from, end) up to end at `to` (>= end), the last first.
  void MoveUp(size_t from, size_t end, size_t to);

  PoolPointer pool_;
  BlockStore events_;
  bool ordered_ = true;  // no event was added since the list was last put in track order
  // The first events, which the last Sort() put in track order; a later one starts after them.
  size_t sorted_ = 0;
};

// Reads a list's events block by block.
class EventList::Iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = SeqEvent;
  using difference_type = std::ptrdiff_t;
  using pointer = const SeqEvent*;
  using reference = const SeqEvent&;

  Iterator() = default;
  reference operator*() const { return *at_; }
  pointer operator->() const { return at_; }
  Iterator& operator++() {
    if (++at_ == blockEnd_) {
      NextBlock();
    }
    return *this;
  }
  Iterator operator++(int) {
    Iterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const Iterator& other) const { return at_ == other.at_; }

 private:
  friend class EventList;
  // At the first event of `store`, or at the end (null) when it is empty.
  explicit Iterator(const BlockStore* store) : store_(store) {
    block_ = static_cast<size_t>(-1);
    NextBlock();
  }
  // Moves to the next block's first event, or to the end after the last block.
  void NextBlock() {
    if (++block_ < store_->blockCount() && store_->blockFill(block_) > 0) {
      at_ = store_->block(block_);
      blockEnd_ = at_ + store_->blockFill(block_);
    } else {
      at_ = nullptr;
      blockEnd_ = nullptr;
    }
  }

  const BlockStore* store_ = nullptr;
  size_t block_ = 0;
  const SeqEvent* at_ = nullptr;  // null at the end
  const SeqEvent* blockEnd_ = nullptr;
};

// The event serial counter of this thread: each new event takes the next value (first 1).
// The part splitter resets it at the start of every compile. A counter per thread lets two
// compiles, or two halves of one (sequence/compile_halves.cpp), number their events at once.
inline thread_local uint32_t g_eventSerial = 0;
inline void ResetEventSerial() { g_eventSerial = 0; }
inline uint32_t NextEventSerial() { return ++g_eventSerial; }

// Builds an event and gives it the next serial.
inline SeqEvent MakeEvent(int64_t time, int type, EventParams params, int channel) {
  SeqEvent event;
  event.time = time;
  event.params = params;
  event.serial = NextEventSerial();
  event.type = static_cast<uint8_t>(type);
  event.channel = static_cast<int8_t>(channel);
  return event;
}

#endif  // QUAVREX_CORE_SEQ_EVENT_H_
