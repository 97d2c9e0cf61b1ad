// The tempo map keeps every millisecond (the mapping of channels, keys, controls and bends is
// checked through a real client in midi_client_test.cpp).

#include "midi/tempo_map.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Played as a player plays it, tempo by tempo, the tick of every millisecond sounds within
// half a millisecond of it, also across tempo changes.
TEST(TempoMapTest, EveryMillisecondKeepsItsPlace) {
  struct Case {
    std::vector<TempoSpan> spans;
    int division;  // 0: cannot be written
  };
  const Case cases[] = {
      {{{0, 500000}}, 960},
      {{{0, 666667}, {1333000, 400000}, {7777000, 495868}}, 960},
      {{{0, 2000000}}, 2880},  // slow: finer ticks
      {{{0, 500000}, {100000, 300000}, {100000, 250000}}, 960},
      {{{0, 18750000}}, 0},  // above 0xFFFFFF microseconds a quarter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spans.size() * 10 + c.spans.back().microsPerQuarter);
    std::optional<TempoMap> map = TempoMap::FromSpans(c.spans);
    ASSERT_EQ(map.has_value(), c.division != 0);
    if (!map) {
      continue;
    }
    EXPECT_EQ(map->division(), c.division);
    const auto& points = map->points();
    for (int64_t ms = 0; ms < 20000; ms += 7) {
      int64_t tick = map->TickAt(ms);
      double played = 0;
      for (size_t i = 0; i < points.size() && points[i].tick < tick; ++i) {
        int64_t end = i + 1 < points.size() ? std::min(points[i + 1].tick, tick) : tick;
        played += double(end - points[i].tick) * points[i].microsPerQuarter / map->division();
      }
      ASSERT_LT(std::abs(played / 1000.0 - double(ms)), 0.5) << ms;
    }
  }
  EXPECT_EQ(TempoMap::Fixed().TickAt(123456), 123456);  // from an .MMF alone: 1 tick = 1 ms
}

}  // namespace
