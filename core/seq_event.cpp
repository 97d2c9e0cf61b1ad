#include "core/seq_event.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace {

// How far back Sort() moves an event in place.
constexpr size_t kInsertReach = 32;

}  // namespace

void EventList::Sort() {
  if (ordered_) {
    return;
  }
  ordered_ = true;
  // The scheduler makes events almost in track order, pass by pass in time: the channels of a
  // track interleave at one time, and a key-off is made a few notes ahead. So each event moves
  // back a short way if it must; should one have to go further, the whole list is sorted.
  const SeqEventOrder before;
  for (size_t i = std::max<size_t>(sorted_, 1); i < events_.size(); ++i) {
    if (!before(events_[i], events_[i - 1])) {
      continue;
    }
    const size_t floor = i > kInsertReach ? i - kInsertReach : 0;
    size_t at = i - 1;  // [at, i) come after events_[i]
    while (at > floor && before(events_[i], events_[at - 1])) {
      --at;
    }
    if (at > 0 && before(events_[i], events_[at - 1])) {
      std::stable_sort(events_.begin(), events_.end(), before);
      break;
    }
    const SeqEvent event = events_[i];
    std::move_backward(events_.begin() + static_cast<std::ptrdiff_t>(at),
                       events_.begin() + static_cast<std::ptrdiff_t>(i),
                       events_.begin() + static_cast<std::ptrdiff_t>(i + 1));
    events_[at] = event;
  }
  sorted_ = events_.size();
}

const SeqEvent& EventList::back() const {
  assert(!empty());
  if (ordered_) {
    return events_.back();
  }
  // Of events equal in track order, the one added last comes last.
  const SeqEvent* last = &events_[0];
  for (const SeqEvent& event : events_) {
    if (!SeqEventOrder()(event, *last)) {
      last = &event;
    }
  }
  return *last;
}
