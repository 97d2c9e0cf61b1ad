#include "core/seq_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/test_util.h"

namespace {

// Lists made in the order a scheduler makes them read in track order: time, larger kind first,
// channel (-1 first), then the order of making. Events a short way from their place move in
// place; one far from it sorts the whole list; both read as if sorted at once, with any number
// sorted before. A handle names its event until the sort; a list moved from starts over. Each
// event carries its number in the order of making as its first parameter.
TEST(EventListTest, ReadsInTrackOrderWhateverTheOrderOfMaking) {
  struct Case {
    const char* name;
    int aheadEvery;  // every so many events, one made this far ahead in time
    int64_t ahead;
    bool lateDefaults;  // a voice and an end at time 0 made last (-1: a silent track's end)
    int sortedFirst;    // events sorted before the rest are made
    std::vector<int> firstMade;  // the numbers of the events read first
  };
  // 400 events, four channels at each time; odd ones a volume, which sorts before the notes.
  const Case kCases[] = {
      {"in order", 0, 0, false, 0, {2, 4, 1, 3}},
      {"key-offs a few events ahead", 7, 3, false, 100, {2, 4, 1, 3}},
      {"defaults made last", 7, 3, true, 0, {401, 2, 4, 402}},
      {"events far ahead, some sorted before", 50, 60, false, 399, {2, 4, 1, 3}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EventList list;
    std::vector<EventList::Handle> handles;
    std::vector<SeqEvent> made;
    for (uint32_t i = 1; i <= 400; ++i) {
      const int64_t time = (i - 1) / 4 + (c.aheadEvery > 0 && i % c.aheadEvery == 0 ? c.ahead : 0);
      made.push_back({time, EventParams(i, 0), static_cast<int8_t>((i - 1) % 4),
                      static_cast<uint8_t>(i % 2 == 0 ? EV_VOLUME : EV_NOTE)});
      handles.push_back(list.Add(made.back()));
      if (static_cast<int>(i) == c.sortedFirst) {
        list.Sort();
        handles.clear();
      }
    }
    if (c.lateDefaults) {
      made.push_back({0, EventParams(401, 0), 0, EV_VOICE});
      made.push_back({0, EventParams(402, 0), -1, EV_END_OF_TRACK});
      list.Add(made[400]);
      list.Add(made[401]);
    }
    for (EventList::Handle handle : handles) {
      list[handle].params.Set(1, list[handle].params[0]);
    }
    list.Sort();
    std::stable_sort(made.begin(), made.end(), SeqEventOrder());
    std::vector<int64_t> read;
    std::vector<int64_t> expected;
    for (const SeqEvent& event : list) {
      read.push_back(event.params[0]);
      EXPECT_TRUE(event.params[1] == 0 || event.params[1] == event.params[0]);
    }
    for (const SeqEvent& event : made) {
      expected.push_back(event.params[0]);
    }
    EXPECT_EQ(read, expected);
    EXPECT_EQ(std::vector<int64_t>(read.begin(), read.begin() + 4),
              std::vector<int64_t>(c.firstMade.begin(), c.firstMade.end()));
    EXPECT_EQ(list.back().params[0], expected.back());
    EventList taken = std::move(list);
    list.Add(MakeEvent(9, EV_NOTE, {}, 0));
    list.Add(MakeEvent(5, EV_NOTE, {}, 0));
    list.Sort();
    EXPECT_EQ(list.begin()->time, 5);
    EXPECT_EQ(taken.size(), made.size());
  }
}

// The tick count is kept in two words: every 64-bit value comes back, given at construction or
// set later, beside the small parameters and the event's own fields.
TEST(EventParamsTest, KeepEveryTickCount) {
  const int64_t kTicks[] = {0,
                            1,
                            -1,
                            16511,
                            int64_t{1} << 32,
                            (int64_t{1} << 32) - 1,
                            -(int64_t{1} << 40) + 7,
                            INT64_MAX,
                            INT64_MIN};
  for (const int64_t ticks : kTicks) {
    SCOPED_TRACE(ticks);
    SeqEvent event{-5, EventParams(212, ticks, 2), 3, EV_FREQ_NOTE};
    EXPECT_EQ(event.params[0], 212);
    EXPECT_EQ(event.params[1], ticks);
    EXPECT_EQ(event.params[2], 2);
    event.params.Set(1, ~ticks);
    EXPECT_EQ(event.params[1], ~ticks);
    EXPECT_EQ(event.params[0], 212);
    EXPECT_EQ(event.time, -5);
    EXPECT_EQ(event.channel, 3);
    EXPECT_EQ(event.type, EV_FREQ_NOTE);
    EXPECT_EQ(EventParams(7, ticks).size(), 2u);
    EXPECT_EQ(EventParams(7, ticks)[2], 0);
  }
}

}  // namespace
