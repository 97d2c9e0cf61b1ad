#include "core/seq_event.h"

#include <utility>

namespace {
int g_eventSerial = 0;
}  // namespace

void ResetEventSerial() { g_eventSerial = 0; }

int NextEventSerial() { return ++g_eventSerial; }

SeqEvent MakeEvent(int time, int type, std::vector<int> params, int channel) {
  SeqEvent event;
  event.time = time;
  event.type = type;
  event.params = std::move(params);
  event.channel = channel;
  event.serial = NextEventSerial();
  return event;
}
