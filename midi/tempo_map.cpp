#include "midi/tempo_map.h"

#include <algorithm>

namespace {

constexpr int kFixedDivision = 500;
constexpr int kFixedTempo = 500000;  // 120 beats a minute
// Divisions are multiples of this common one, so ordinary tempos stay easy to edit.
constexpr int kDivisionStep = 960;
constexpr int kLargestTempo = 0xFFFFFF;
constexpr int64_t kLatestMs = 0x7FFFFFFF;

// a / b rounded to the nearest integer, halves up; b > 0.
int64_t RoundedQuotient(int64_t a, int64_t b) {
  int64_t q = a / b;
  int64_t r = a % b;
  if (r < 0) {
    r += b;
    --q;
  }
  return 2 * r >= b ? q + 1 : q;
}

}  // namespace

TempoMap TempoMap::Fixed() {
  TempoMap map;
  map.division_ = kFixedDivision;
  map.points_.push_back({0, kFixedTempo, 0});
  return map;
}

std::optional<TempoMap> TempoMap::FromSpans(const std::vector<TempoSpan>& spans) {
  if (spans.empty()) {
    return std::nullopt;
  }
  int slowest = 0;
  for (const TempoSpan& span : spans) {
    if (span.microsPerQuarter < 1 || span.microsPerQuarter > kLargestTempo) {
      return std::nullopt;
    }
    slowest = std::max(slowest, span.microsPerQuarter);
  }
  TempoMap map;
  // A tick must last less than 1000 microseconds at the slowest tempo.
  map.division_ = kDivisionStep;
  while (int64_t{map.division_} * 1000 <= slowest) {
    map.division_ += kDivisionStep;
  }
  map.points_.push_back({0, spans.front().microsPerQuarter, 0});
  for (size_t i = 1; i < spans.size(); ++i) {
    Point& last = map.points_.back();
    int64_t target = spans[i].micros * map.division_;
    int64_t tick = last.tick + RoundedQuotient(target - last.scaledStart, last.microsPerQuarter);
    if (tick <= last.tick) {
      last.microsPerQuarter = spans[i].microsPerQuarter;  // two changes at one tick: the later
      continue;
    }
    int64_t scaled = last.scaledStart + (tick - last.tick) * last.microsPerQuarter;
    map.points_.push_back({tick, spans[i].microsPerQuarter, scaled});
  }
  return map;
}

int64_t TempoMap::TickAt(int64_t ms) const {
  // Past 2^31 ms (24 days) every tick lies beyond what a file holds; the bound keeps the
  // product below 2^63.
  const int64_t target = std::clamp<int64_t>(ms, 0, kLatestMs) * 1000 * division_;
  // The last tempo that starts at or before the moment.
  auto after = std::upper_bound(points_.begin(), points_.end(), target,
                                [](int64_t t, const Point& p) { return t < p.scaledStart; });
  const Point& p = after == points_.begin() ? points_.front() : *(after - 1);
  return std::max<int64_t>(0, p.tick + RoundedQuotient(target - p.scaledStart, p.microsPerQuarter));
}
