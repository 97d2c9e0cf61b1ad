#include "core/seq_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Made {
  int64_t time;
  int type;
  int channel;
};

// Each list, made in the given order, reads in track order: time, larger kind first, channel
// (-1 first), then the order of making. A handle names its event until the sort; a copy sorts
// apart, and a list sorted, added to and sorted again reads as if sorted once.
TEST(EventListTest, ReadsInTrackOrderWhateverTheOrderOfMaking) {
  struct Case {
    const char* name;
    std::vector<Made> made;
    std::vector<int> order;  // indices into `made`, in track order
    bool oneSerial = false;  // all share one serial, as only a list built by hand can
  };
  const Case kCases[] = {
      {"empty", {}, {}},
      {"in order", {{0, EV_NOTE, 0}, {5, EV_NOTE, 0}}, {0, 1}},
      {"made backwards", {{9, EV_NOTE, 0}, {5, EV_NOTE, 0}, {1, EV_NOTE, 0}}, {2, 1, 0}},
      {"at one time, a larger kind first",
       {{4, EV_NOTE, 0}, {4, EV_VOICE, 0}, {4, EV_PAN, 0}},
       {1, 2, 0}},
      {"at one time and kind, by channel, the end of a silent track first",
       {{4, EV_NOTE, 3}, {4, EV_NOTE, 0}, {4, EV_END_OF_TRACK, -1}, {4, EV_NOTE, -1}},
       {2, 3, 1, 0}},
      {"a key-off made ahead, defaults at time 0 made last",
       {{0, EV_NOTE, 0}, {8, EV_FREQ_NOTE, 0}, {4, EV_NOTE, 0}, {0, EV_VOLUME, 0}},
       {3, 0, 2, 1}},
      {"equal in everything but the order of making",
       {{2, EV_NOTE, 1}, {1, EV_NOTE, 1}, {2, EV_NOTE, 1}},
       {1, 0, 2},
       true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EventList list;
    std::vector<EventList::Handle> handles;
    for (size_t i = 0; i < c.made.size(); ++i) {
      const Made& m = c.made[i];
      const uint32_t serial = c.oneSerial ? 7 : static_cast<uint32_t>(i + 1);
      handles.push_back(list.Add(m.time, m.type, EventParams(0), m.channel, serial));
    }
    for (size_t i = 0; i < handles.size(); ++i) {
      list[handles[i]].params.Set(0, static_cast<int64_t>(i));
    }
    const EventList copy = list;
    if (!c.made.empty()) {
      EXPECT_EQ(list.back().params[0], c.order.back()) << "the last in track order, unsorted";
    }
    list.Sort();
    std::vector<int> read;
    for (const SeqEvent& event : list) {
      read.push_back(static_cast<int>(event.params[0]));
    }
    EXPECT_EQ(read, c.order);
    EventList copySorted = copy;
    copySorted.Sort();
    EXPECT_TRUE(std::equal(
        list.begin(), list.end(), copySorted.begin(), copySorted.end(),
        [](const SeqEvent& a, const SeqEvent& b) { return a.params[0] == b.params[0]; }));
    // Events added after the sort go among the sorted ones.
    list.Add(MakeEvent(3, EV_NOTE, {100}, 0));
    list.Add(MakeEvent(-1, EV_NOTE, {101}, 0));
    list.Sort();
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), SeqEventOrder()));
    EXPECT_EQ(list.begin()->params[0], 101);
    EXPECT_EQ(list.size(), c.made.size() + 2);
    // A list moved from starts over.
    EventList taken = std::move(list);
    list.Add(MakeEvent(9, EV_NOTE, {}, 0));
    list.Add(MakeEvent(5, EV_NOTE, {}, 0));
    list.Sort();
    EXPECT_EQ(list.begin()->time, 5);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(taken.size(), c.made.size() + 2);
  }
}

// Events a short way from their place move in place; one far from it sends the whole list to
// the full sort: both read as the events sorted at once, with any number sorted before.
TEST(EventListTest, SortsEventsNearAndFarFromTheirPlace) {
  struct Case {
    const char* name;
    int count;
    int aheadEvery;  // every so many notes, one made this far ahead
    int64_t ahead;
    bool lateDefault;  // a default at time 0 made last
  };
  const Case kCases[] = {
      {"in order", 400, 0, 0, false},
      {"key-offs a few notes ahead", 400, 7, 5, false},
      {"and a default made last", 400, 7, 5, true},
      {"events far ahead", 400, 50, 60, false},
  };
  for (const Case& c : kCases) {
    for (int sortedFirst : {0, 100, 399}) {
      SCOPED_TRACE(testing::Message() << c.name << ", " << sortedFirst << " sorted first");
      std::vector<SeqEvent> made;
      EventList list;
      for (int i = 0; i < c.count; ++i) {
        const bool ahead = c.aheadEvery > 0 && i % c.aheadEvery == 0;
        made.push_back(MakeEvent(i / 4 + (ahead ? c.ahead : 0), EV_NOTE, {i}, i % 4));
        list.Add(made.back());
        if (i + 1 == sortedFirst) {
          list.Sort();
        }
      }
      if (c.lateDefault) {
        made.push_back(MakeEvent(0, EV_VOICE, {}, 2));
        list.Add(made.back());
      }
      list.Sort();
      std::sort(made.begin(), made.end(), SeqEventOrder());
      std::vector<uint32_t> read;
      std::vector<uint32_t> expected;
      for (const SeqEvent& event : list) {
        read.push_back(event.serial);
      }
      for (const SeqEvent& event : made) {
        expected.push_back(event.serial);
      }
      EXPECT_EQ(read, expected);
    }
  }
}

}  // namespace
