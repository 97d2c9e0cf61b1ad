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
  // Iterators, not indexes: an index into a deque costs a division and a lookup each time.
  const SeqEventOrder before;
  const auto begin = events_.begin();
  const auto end = events_.end();
  auto previous = begin + static_cast<std::ptrdiff_t>(std::max<size_t>(sorted_, 1) - 1);
  for (auto next = std::next(previous); next != end; previous = next, ++next) {
    if (!before(*next, *previous)) {
      continue;
    }
    // Shifts the events that come after it up by one, at most kInsertReach of them.
    const SeqEvent event = *next;
    auto hole = next;
    auto left = previous;  // the event before the hole
    size_t reach = kInsertReach;
    for (;;) {
      *hole = *left;
      hole = left;
      if (hole == begin || !before(event, *--left) || --reach == 0) {
        break;
      }
    }
    *hole = event;
    if (hole != begin && before(event, *left)) {
      // The event passed only events that come after it, so no two equal ones changed order.
      std::stable_sort(begin, end, before);
      break;
    }
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
