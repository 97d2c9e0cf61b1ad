#include "core/seq_event.h"

#include <algorithm>
#include <cassert>

namespace {
uint32_t g_eventSerial = 0;
}  // namespace

EventParams::EventParams(std::initializer_list<int64_t> values) {
  assert(values.size() <= 3);
  for (int64_t value : values) {
    ++count_;
    Set(count_ - 1, value);
  }
}

int64_t EventParams::operator[](size_t index) const {
  if (index >= count_) {
    return 0;
  }
  return index == 0 ? first_ : index == 1 ? second_ : third_;
}

void EventParams::Set(size_t index, int64_t value) {
  assert(index < count_);
  // Only the second parameter is a tick count; the others are values the compiler keeps small.
  if (index == 1) {
    second_ = value;
  } else if (index == 0) {
    first_ = static_cast<int32_t>(value);
  } else {
    third_ = static_cast<int16_t>(value);
  }
}

void EventList::Sort() {
  if (!sorted_) {
    std::sort(events_.begin(), events_.end(), SeqEventOrder());
    sorted_ = true;
  }
}

void ResetEventSerial() { g_eventSerial = 0; }

uint32_t NextEventSerial() { return ++g_eventSerial; }

SeqEvent MakeEvent(int64_t time, int type, EventParams params, int channel) {
  SeqEvent event;
  event.time = time;
  event.type = static_cast<uint8_t>(type);
  event.params = params;
  event.channel = static_cast<int8_t>(channel);
  event.serial = NextEventSerial();
  return event;
}
