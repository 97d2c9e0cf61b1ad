#include "core/seq_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Events made in the order a scheduler makes them: channels interleaved, some made ahead of
// their time (key-offs), some late (a first volume at time 0), across several storage blocks.
std::vector<SeqEvent> MadeEvents(int count, int channels, int lateEvery) {
  std::vector<SeqEvent> made;
  uint64_t noise = 12345;
  for (int i = 0; i < count; ++i) {
    noise = noise * 6364136223846793005ull + 1442695040888963407ull;
    const int channel = i % channels - (channels == 6 ? 1 : 0);  // 6: -1 to 4, 4 out of range
    int64_t time = i / channels;
    if (noise >> 60 == 0) {
      time += 7;  // made ahead
    } else if (lateEvery > 0 && i % lateEvery == 0) {
      time = 0;
    }
    const int type = (noise >> 40) % 2 == 0 ? EV_NOTE : EV_VOLUME;
    made.push_back(MakeEvent(time, type, {i, time}, channel));
  }
  return made;
}

TEST(EventListTest, ReadsInTrackOrderWhateverTheOrderOfMaking) {
  struct Case {
    int count, channels, lateEvery;
  };
  const Case kCases[] = {
      {0, 1, 0},          // empty
      {5, 1, 0},          // one channel, in order
      {5000, 1, 0},       // one channel over three blocks
      {5000, 4, 0},       // four channels interleaved
      {5000, 4, 97},      // and late events in every channel
      {9000, 6, 13},      // the end-of-track channel -1 and a channel outside 0-3
      {300000, 4, 1000},  // runs over several mapped slabs
      {200000, 5, 0},     // and again, in the slabs the list before left behind
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.count << " events on " << c.channels << " channels");
    const std::vector<SeqEvent> made = MadeEvents(c.count, c.channels, c.lateEvery);
    EventList list;
    std::vector<EventList::Handle> handles;
    for (const SeqEvent& event : made) {
      handles.push_back(list.Add(event));
    }
    // Before sorting, a handle names its event: mark each one through it.
    for (size_t i = 0; i < handles.size(); ++i) {
      ASSERT_EQ(list[handles[i]].serial, made[i].serial);
      list[handles[i]].params.Set(1, -static_cast<int64_t>(i));
    }
    // A copy, sorted apart, reads the same; moving the original keeps its blocks valid.
    EventList copy = list;
    copy.Sort();
    EventList moved = std::move(list);
    list = std::move(moved);
    list.Sort();
    ASSERT_TRUE(std::equal(list.begin(), list.end(), copy.begin(), copy.end(),
                           [](const SeqEvent& a, const SeqEvent& b) {
                             return a.serial == b.serial && a.params[1] == b.params[1];
                           }));
    std::vector<SeqEvent> expected = made;
    std::sort(expected.begin(), expected.end(), SeqEventOrder());
    ASSERT_EQ(list.size(), expected.size());
    size_t i = 0;
    for (const SeqEvent& event : list) {
      ASSERT_EQ(event.serial, expected[i].serial) << "at " << i;
      EXPECT_EQ(event.params[1], -static_cast<int64_t>(event.params[0]));
      ++i;
    }
    EXPECT_EQ(i, expected.size());
    if (!expected.empty()) {
      EXPECT_EQ(list.back().serial, expected.back().serial);
    }
  }
}

// Orders of making that put events far from their place or keep equal times apart only by kind
// and channel: each list must read exactly as the same events sorted.
TEST(EventListTest, PutsFarAndEqualTimedEventsInTrackOrder) {
  struct Case {
    const char* name;
    int count;
    int64_t (*time)(int i, int count);
    int (*type)(int i);
  };
  const Case kCases[] = {
      {"made backwards, every event far from its place", 3000,
       [](int i, int count) -> int64_t { return count - i; }, [](int) { return int{EV_NOTE}; }},
      {"a long list, then defaults at time 0 (mid-block and at a block's start)", 4100,
       [](int i, int count) -> int64_t { return i < count - 8 ? i / 4 : 0; },
       [](int i) { return i % 2 == 0 ? int{EV_VOICE} : int{EV_VOLUME}; }},
      {"four channels at each time, smaller kinds made first", 5000,
       [](int i, int) -> int64_t { return i / 12; },
       [](int i) {
         return (i / 4) % 3 == 0 ? int{EV_NOTE} : (i / 4) % 3 == 1 ? int{EV_PAN} : int{EV_VOICE};
       }},
      {"defaults at time 0 after four blocks, and an event a block and a half late", 8500,
       [](int i, int count) -> int64_t {
         return i < count - 4 ? i / 4 : i == count - 1 ? (count - 3100) / 4 : 0;
       },
       [](int i) { return i % 3 == 0 ? int{EV_VOLUME} : int{EV_NOTE}; }},
      {"key-offs made a long way ahead on each channel", 6000,
       [](int i, int) -> int64_t { return i % 20 == 0 ? i / 4 + 40 : i / 4; },
       [](int i) { return i % 20 == 0 ? int{EV_FREQ_NOTE} : int{EV_EXPRESSION}; }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<SeqEvent> made;
    EventList list;
    for (int i = 0; i < c.count; ++i) {
      made.push_back(MakeEvent(c.time(i, c.count), c.type(i), {i}, i % 4));
      list.Add(made.back());
    }
    list.Sort();
    std::sort(made.begin(), made.end(), SeqEventOrder());
    ASSERT_EQ(list.size(), made.size());
    size_t i = 0;
    for (const SeqEvent& event : list) {
      ASSERT_EQ(event.serial, made[i].serial) << "at " << i;
      ++i;
    }
  }
}

// A list sorted, added to and sorted again (a track that a half of the compile sorted, and then
// its end) reads as the same events sorted at once, wherever the first sort ended and wherever
// the new events belong; a list moved from starts over.
TEST(EventListTest, SortsAgainAfterEventsAreAddedToASortedList) {
  struct Case {
    const char* name;
    int sorted;  // events sorted first: four channels, times i / 4
    std::vector<int64_t> added;
  };
  const Case kCases[] = {
      {"nothing sorted before", 0, {5, 1, 3}},
      {"after the sorted events, mid-block", 3000, {750, 751, 900}},
      {"the sorted events end with a block", 2048, {512, 513}},
      {"a short way back among them", 3000, {745, 749}},
      {"far back, into the first block", 4100, {0, 3, 1024}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<SeqEvent> made;
    EventList list;
    for (int i = 0; i < c.sorted; ++i) {
      made.push_back(MakeEvent(i / 4, EV_NOTE, {i}, i % 4));
      list.Add(made.back());
    }
    list.Sort();
    for (int64_t time : c.added) {
      made.push_back(MakeEvent(time, EV_END_OF_TRACK, {}, 0));
      list.Add(made.back());
    }
    list.Sort();
    std::sort(made.begin(), made.end(), SeqEventOrder());
    std::vector<uint32_t> read;
    for (const SeqEvent& event : list) {
      read.push_back(event.serial);
    }
    std::vector<uint32_t> expected;
    for (const SeqEvent& event : made) {
      expected.push_back(event.serial);
    }
    EXPECT_EQ(read, expected);
  }
  EventList list;
  for (int64_t time : {1, 2, 3}) {
    list.Add(MakeEvent(time, EV_NOTE, {}, 0));
  }
  list.Sort();
  EventList taken = std::move(list);
  for (int64_t time : {9, 5, 1}) {
    list.Add(MakeEvent(time, EV_NOTE, {}, 0));
  }
  list.Sort();
  std::vector<int64_t> times;
  for (const SeqEvent& event : list) {
    times.push_back(event.time);
  }
  EXPECT_EQ(times, (std::vector<int64_t>{1, 5, 9}));
}

}  // namespace
