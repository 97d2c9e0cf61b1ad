#include "core/seq_event.h"

#include <algorithm>
#include <cassert>

void EventList::Sort() {
  if (ordered_) {
    return;
  }
  std::stable_sort(events_.begin(), events_.end(), SeqEventOrder());
  ordered_ = true;
}

const SeqEvent& EventList::back() const {
  assert(!empty());
  if (ordered_) {
    return events_.back();
  }
  return *std::max_element(events_.begin(), events_.end(), SeqEventOrder());
}
