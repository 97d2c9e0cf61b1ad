#include "midi_import/midi_clock.h"

#include <algorithm>

MidiClock::MidiClock(const SmfSong& song) : ticksPerQuarter_(song.ticksPerQuarter) {
  if (ticksPerQuarter_ == 0) {
    const double frames = song.framesPerSecond == 29 ? 30000.0 / 1001 : song.framesPerSecond;
    usPerTick_ = 1e6 / (frames * song.ticksPerFrame);
    return;
  }
  segments_.push_back({0, 0.0, 500000});
  for (const SmfTempo& tempo : song.tempos) {
    const Segment& last = segments_.back();
    if (tempo.tick == last.tick) {
      segments_.back().usPerQuarter = tempo.usPerQuarter;
    } else {
      segments_.push_back({tempo.tick, At(last, tempo.tick), tempo.usPerQuarter});
    }
  }
}

double MidiClock::Us(int64_t tick) const {
  if (ticksPerQuarter_ == 0) {
    return static_cast<double>(tick) * usPerTick_;
  }
  auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                             [](int64_t t, const Segment& s) { return t < s.tick; });
  return At(*(it - 1), tick);
}

double MidiClock::At(const Segment& s, int64_t tick) const {
  return s.us + static_cast<double>(tick - s.tick) * s.usPerQuarter / ticksPerQuarter_;
}
