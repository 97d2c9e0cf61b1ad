#ifndef QUAVREX_CORE_SEQ_EVENT_H_
#define QUAVREX_CORE_SEQ_EVENT_H_

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <utility>

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
// (note, wave and voice numbers and control values 0-255, a key mode 0-2).
//
// The tick count is kept in two 32-bit words, so that the parameters align to 4 bytes and an
// event takes 24 bytes instead of 32: a million events are 8 MiB fewer to write and to sort.
class EventParams {
 public:
  EventParams() = default;
  EventParams(int64_t first) : first_(Small(first)), count_(1) {}
  EventParams(int64_t first, int64_t second) : first_(Small(first)), count_(2) {
    SetSecond(second);
  }
  EventParams(int64_t first, int64_t second, int64_t third)
      : first_(Small(first)), third_(Mode(third)), count_(3) {
    SetSecond(second);
  }

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The parameter at `index`; 0 past the last one.
  int64_t operator[](size_t index) const {
    if (index >= count_) {
      return 0;
    }
    return index == 0 ? first_ : index == 1 ? Second() : third_;
  }
  // Replaces the parameter at `index` (< size()). Only the second is a tick count; the others
  // are values the compiler keeps small.
  void Set(size_t index, int64_t value) {
    if (index == 1) {
      SetSecond(value);
    } else if (index == 0) {
      first_ = Small(value);
    } else {
      third_ = Mode(value);
    }
  }

 private:
  int64_t Second() const {
    int64_t value;
    std::memcpy(&value, second_, sizeof value);
    return value;
  }
  void SetSecond(int64_t value) { std::memcpy(second_, &value, sizeof value); }
  // The first and the third parameter as kept; the compiler makes none outside their range.
  static int16_t Small(int64_t value) {
    assert(value >= INT16_MIN && value <= INT16_MAX);
    return static_cast<int16_t>(value);
  }
  static int8_t Mode(int64_t value) {
    assert(value >= INT8_MIN && value <= INT8_MAX);
    return static_cast<int8_t>(value);
  }

  uint32_t second_[2] = {0, 0};
  int16_t first_ = 0;
  int8_t third_ = 0;
  uint8_t count_ = 0;
};

// One timed event of a track: a plain record, copied and sorted by value.
struct SeqEvent {
  int64_t time = 0;  // ticks of the track timebase
  EventParams params;
  int8_t channel = 0;  // channel within the track, 0-3; -1 for the end of a silent track
  uint8_t type = 0;    // an EventType
};

// A million events fit in 24 MiB.
static_assert(sizeof(SeqEvent) <= 24);

// Track order: time, then larger type first, then channel. Events equal in it keep the order
// they were made in (EventList sorts stably).
struct SeqEventOrder {
  bool operator()(const SeqEvent& a, const SeqEvent& b) const {
    if (a.time != b.time) {
      return a.time < b.time;
    }
    if (a.type != b.type) {
      return a.type > b.type;
    }
    return a.channel < b.channel;
  }
};

// The events of one track, appended in creation order and put in track order once, by Sort(),
// before they are written. A handle returned by Add() names its event until Sort() runs.
//
// A deque, not a vector: a long score makes a million events (24 MiB), and a vector growing to
// that size copies them over and over, holding the old copy beside the new one each time (the
// hostile scores of bench/adversarial.sh took a third more memory and twice the time so). A
// deque grows in blocks that never move.
class EventList {
 public:
  using Handle = uint32_t;
  using Iterator = std::deque<SeqEvent>::const_iterator;

  EventList() = default;
  EventList(const EventList&) = default;
  EventList& operator=(const EventList&) = default;
  // A moved-from list is empty.
  EventList(EventList&& other) noexcept { *this = std::move(other); }
  EventList& operator=(EventList&& other) noexcept {
    events_ = std::move(other.events_);
    other.events_.clear();
    ordered_ = std::exchange(other.ordered_, true);
    sorted_ = std::exchange(other.sorted_, 0);
    return *this;
  }
  ~EventList() = default;

  // Appends an event; the handle names it until Sort() runs.
  Handle Add(const SeqEvent& event) {
    ordered_ = false;
    events_.push_back(event);
    return static_cast<Handle>(events_.size() - 1);
  }
  // The same for an event given by its fields, made where it is kept: made on the stack and
  // copied, its pieces were read back before they were all written, a stall on every event.
  Handle Add(int64_t time, int type, EventParams params, int channel) {
    ordered_ = false;
    SeqEvent& event = events_.emplace_back();
    event.time = time;
    event.params = params;
    event.channel = static_cast<int8_t>(channel);
    event.type = static_cast<uint8_t>(type);
    return static_cast<Handle>(events_.size() - 1);
  }
  // The set-like name of Add(), for callers that build lists by hand.
  void insert(const SeqEvent& event) { Add(event); }

  SeqEvent& operator[](Handle handle) { return events_[handle]; }

  // Puts the events in track order (SeqEventOrder), reading only the events added since the
  // last call unless one of them goes among the earlier ones. Events equal in that order keep
  // the order they were added in (two volumes of one channel at one time: the later one wins).
  void Sort();

  size_t size() const { return events_.size(); }
  bool empty() const { return events_.empty(); }
  void clear() {
    events_.clear();
    ordered_ = true;
    sorted_ = 0;
  }

  // Track order after Sort(); creation order before it.
  Iterator begin() const { return events_.begin(); }
  Iterator end() const { return events_.end(); }
  // The last event in track order; the list must not be empty.
  const SeqEvent& back() const;

 private:
  std::deque<SeqEvent> events_;
  bool ordered_ = true;  // no event was added since the list was last put in track order
  size_t sorted_ = 0;    // the first events, which the last Sort() put in track order
};

#endif  // QUAVREX_CORE_SEQ_EVENT_H_
