#ifndef QUAVREX_CORE_SEQ_EVENT_H_
#define QUAVREX_CORE_SEQ_EVENT_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

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
  EventParams(std::initializer_list<int64_t> values) {
    for (int64_t value : values) {
      ++count_;
      Set(count_ - 1, value);
    }
  }

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The parameter at `index`; 0 past the last one.
  int64_t operator[](size_t index) const;
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
// The scheduler makes events almost in track order, so they are kept as one run in order plus
// the few that came late (a key-off made ahead, a first volume set at time 0): Sort() then only
// sorts the late ones and merges them in, in time linear in the list.
class EventList {
 public:
  using Handle = uint32_t;

  Handle Add(const SeqEvent& event) {
    if (events_.empty() || !SeqEventOrder()(event, events_.back())) {
      events_.push_back(event);
      return static_cast<Handle>(events_.size() - 1);
    }
    late_.push_back(event);
    return static_cast<Handle>(late_.size() - 1) | kLateBit;
  }
  // The set-like name of Add(), for callers that build lists by hand.
  void insert(const SeqEvent& event) { Add(event); }

  SeqEvent& operator[](Handle handle) {
    return (handle & kLateBit) != 0 ? late_[handle & ~kLateBit] : events_[handle];
  }

  // Puts the events in track order (SeqEventOrder); cheap when they already are.
  void Sort();

  size_t size() const { return events_.size() + late_.size(); }
  bool empty() const { return events_.empty(); }
  void clear() {
    events_.clear();
    late_.clear();
  }
  // Track order; only after Sort() (or while no event came late) every event is seen.
  std::vector<SeqEvent>::const_iterator begin() const { return events_.begin(); }
  std::vector<SeqEvent>::const_iterator end() const { return events_.end(); }
  std::vector<SeqEvent>::const_reverse_iterator rbegin() const { return events_.rbegin(); }
  std::vector<SeqEvent>::const_reverse_iterator rend() const { return events_.rend(); }

 private:
  static constexpr Handle kLateBit = Handle{1} << 31;

  std::vector<SeqEvent> events_;  // in track order
  std::vector<SeqEvent> late_;    // events that sort before the last of `events_` when made
};

// The program-wide event serial counter: each new event takes the next value (first 1).
// The part splitter resets it at the start of every compile.
void ResetEventSerial();
uint32_t NextEventSerial();

// Builds an event and gives it the next serial.
SeqEvent MakeEvent(int64_t time, int type, EventParams params, int channel);

#endif  // QUAVREX_CORE_SEQ_EVENT_H_
