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
  uint32_t serial = 0;  // creation number, unique within one compile
  uint8_t type = 0;     // an EventType
  int8_t channel = 0;   // channel within the track, 0-3; -1 for the end of a silent track
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
// Each channel's events are kept apart: the scheduler makes the events of one channel almost
// in track order, while the four channels of a track interleave (a key-off made ahead on one
// channel comes before a later channel's key-on at an earlier time). A channel keeps a run in
// order plus the few events that came late, which Sort() sorts alone and merges in; reading
// merges the channels' runs, so putting a track in order takes time linear in the list.
// Events are stored in blocks that never move, so a growing list copies nothing.
class EventList {
 public:
  using Handle = uint32_t;
  // The pool of the list's blocks, made when a run first needs a block from it unless the list
  // was given one to share. Held by pointer so that a moved list keeps its blocks where they are.
  using PoolPointer = std::shared_ptr<EventBlockPool>;

  EventList() = default;
  EventList(const EventList& other);
  EventList& operator=(const EventList& other);
  EventList(EventList&&) noexcept = default;
  EventList& operator=(EventList&&) noexcept = default;
  ~EventList() = default;

  // Takes further blocks from `pool`, which other lists may share (one compile's lists share
  // one, so that only one partly filled slab is mapped for all of them). A copy of the list
  // shares its pool. Blocks go back to the pool when the list is cleared or sorted, and are
  // freed with the pool.
  void SharePool(PoolPointer pool) { pool_ = std::move(pool); }

  // Appends an event; the handle names it until Sort() runs.
  Handle Add(const SeqEvent& event) {
    return Add(event.time, event.type, event.params, event.channel, event.serial);
  }
  // The same for an event given by its fields. The record is written in place, field by field:
  // building it elsewhere and copying it whole stalls the processor on every event.
  Handle Add(int64_t time, int type, EventParams params, int channel, uint32_t serial) {
    // As stored: a kind is one byte, a channel one signed byte.
    type = static_cast<uint8_t>(type);
    channel = static_cast<int8_t>(channel);
    const int r = RunOf(channel);
    Run& run = runs_[r];
    const Handle runBits = static_cast<Handle>(r) << kRunShift;
    if (run.events.size() == 0 || !Before(time, type, channel, serial, run.events.back())) {
      Fill(run.events.Append(pool_), time, type, params, channel, serial);
      return runBits | static_cast<Handle>(run.events.size() - 1);
    }
    Fill(&run.late.emplace_back(), time, type, params, channel, serial);
    return kLateBit | runBits | static_cast<Handle>(run.late.size() - 1);
  }
  // The set-like name of Add(), for callers that build lists by hand.
  void insert(const SeqEvent& event) { Add(event); }

  SeqEvent& operator[](Handle handle);

  // Puts the events in track order (SeqEventOrder); cheap when every channel already is.
  void Sort();

  size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();

  // Track order, after Sort() (before it, the late events of a channel are not seen).
  class Iterator;
  Iterator begin() const;
  Iterator end() const;
  // The last event in track order; the list must not be empty.
  const SeqEvent& back() const;

 private:
  // Runs 0-4 hold channels -1 to 3; run 5 any other channel (only lists built by hand).
  static constexpr int kRuns = 6;
  static constexpr int kRunShift = 28;
  static constexpr Handle kLateBit = Handle{1} << 31;
  static constexpr Handle kIndexMask = (Handle{1} << kRunShift) - 1;
  static constexpr size_t kBlockShift = EventBlockPool::kBlockShift;
  static constexpr size_t kBlockSize = EventBlockPool::kBlockEvents;

  // Events in blocks of kBlockSize; every block but the last is full. The first block is the
  // run's own and grows as a vector does, so that short lists stay small; the later ones come
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

  struct Run {
    BlockStore events;           // in track order
    std::vector<SeqEvent> late;  // events that sorted before the last of `events` when made
  };

  static int RunOf(int channel) { return channel >= -1 && channel <= 3 ? channel + 1 : 5; }
  // SeqEventOrder()(event with these fields, b).
  static bool Before(int64_t time, int type, int channel, uint32_t serial, const SeqEvent& b) {
    if (time != b.time) {
      return time < b.time;
    }
    if (type != b.type) {
      return type > b.type;
    }
    if (channel != b.channel) {
      return channel < b.channel;
    }
    return serial < b.serial;
  }
  static void Fill(SeqEvent* event, int64_t time, int type, EventParams params, int channel,
                   uint32_t serial) {
    event->time = time;
    event->params = params;
    event->serial = serial;
    event->type = static_cast<uint8_t>(type);
    event->channel = static_cast<int8_t>(channel);
  }

  PoolPointer pool_;
  std::array<Run, kRuns> runs_;
};

// Reads the channels' runs of a list merged into track order.
class EventList::Iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = SeqEvent;
  using difference_type = std::ptrdiff_t;
  using pointer = const SeqEvent*;
  using reference = const SeqEvent&;

  Iterator() = default;
  reference operator*() const { return *head_[current_]; }
  pointer operator->() const { return head_[current_]; }
  Iterator& operator++() {
    if (++head_[current_] == blockEnd_[current_]) {
      NextBlock(current_);
    }
    key_[current_] = KeyOf(head_[current_]);
    Pick();
    return *this;
  }
  Iterator operator++(int) {
    Iterator before = *this;
    ++*this;
    return before;
  }
  // The event read names the position: each event of the list is read at one place only.
  bool operator==(const Iterator& other) const {
    return current_ == other.current_ && (current_ < 0 || head_[current_] == other.head_[current_]);
  }

 private:
  friend class EventList;
  // Begins at the first event of every run of `list` (at the end when `atEnd`).
  Iterator(const EventList& list, bool atEnd);
  // The track order of an event as one number (SeqEventOrder: time, larger type first,
  // channel, serial), so that choosing the next run takes no unpredictable branches.
  __extension__ using Key = unsigned __int128;
  static Key KeyOf(const SeqEvent* event) {
    if (event == nullptr) {
      return 0;  // a run read to its end; no longer chosen
    }
    const uint64_t time = static_cast<uint64_t>(event->time) ^ (uint64_t{1} << 63);
    const uint64_t rest = (uint64_t{255} - event->type) << 40 |
                          static_cast<uint64_t>(static_cast<uint8_t>(event->channel ^ 0x80)) << 32 |
                          event->serial;
    return static_cast<Key>(time) << 64 | rest;
  }
  // Chooses the run whose head comes first in track order.
  void Pick() {
    if (active_ == 0) {
      current_ = -1;
      return;
    }
    int best = runs_[0];
    Key bestKey = key_[best];
    for (int i = 1; i < active_; ++i) {
      const int r = runs_[i];
      const bool first = key_[r] < bestKey;
      best = first ? r : best;
      bestKey = first ? key_[r] : bestKey;
    }
    current_ = best;
  }
  // Moves run `r` to its next block, or takes it out of the runs still read after its last.
  void NextBlock(int r);

  const EventList* list_ = nullptr;
  std::array<const SeqEvent*, kRuns> head_{};
  std::array<const SeqEvent*, kRuns> blockEnd_{};
  std::array<size_t, kRuns> block_{};
  std::array<Key, kRuns> key_{};
  std::array<int, kRuns> runs_{};  // the runs not yet read to their end, `active_` of them
  int active_ = 0;
  int current_ = -1;  // -1 at the end
};

// The program-wide event serial counter: each new event takes the next value (first 1).
// The part splitter resets it at the start of every compile.
inline uint32_t g_eventSerial = 0;
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
