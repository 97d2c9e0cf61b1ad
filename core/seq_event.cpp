#include "core/seq_event.h"

#include <algorithm>
#include <utility>

namespace {
uint32_t g_eventSerial = 0;
}  // namespace

int64_t EventParams::operator[](size_t index) const {
  if (index >= count_) {
    return 0;
  }
  return index == 0 ? first_ : index == 1 ? second_ : third_;
}

void EventList::Sort() {
  if (late_.empty()) {
    return;
  }
  std::sort(late_.begin(), late_.end(), SeqEventOrder());
  std::vector<SeqEvent> merged(events_.size() + late_.size());
  std::merge(events_.begin(), events_.end(), late_.begin(), late_.end(), merged.begin(),
             SeqEventOrder());
  events_ = std::move(merged);
  late_.clear();
  late_.shrink_to_fit();
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
