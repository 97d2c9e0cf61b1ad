#ifndef QUAVREX_MIDI_TEMPO_MAP_H_
#define QUAVREX_MIDI_TEMPO_MAP_H_

#include <cstdint>
#include <optional>
#include <vector>

// A tempo from a moment of the tune on: the moment in microseconds from the start, the tempo
// in microseconds per quarter note.
struct TempoSpan {
  int64_t micros = 0;
  int microsPerQuarter = 500000;
};

// Where MIDI ticks fall in time: the division and the tempo events of the first track, and the
// tick at which a moment given in milliseconds is played.
class TempoMap {
 public:
  // One tempo event at tick 0.
  struct Point {
    int64_t tick = 0;
    int microsPerQuarter = 0;
    int64_t scaledStart = 0;  // the time of `tick` in microseconds times the division
  };

  // 120 beats a minute and 500 ticks a quarter note: a tick is exactly a millisecond, so every
  // timebase of the handset (1 to 50 ms a tick) is a whole number of MIDI ticks.
  static TempoMap Fixed();

  // The tempos `spans` (sorted by time; the first applies from the start whatever its time),
  // with a division fine enough that a tick lasts less than a millisecond at every tempo, so
  // the tick nearest to any millisecond is played within half a millisecond of it. Empty when
  // there is no span or a tempo cannot be written (above 0xFFFFFF microseconds a quarter).
  static std::optional<TempoMap> FromSpans(const std::vector<TempoSpan>& spans);

  int division() const { return division_; }
  const std::vector<Point>& points() const { return points_; }

  // The tick played nearest to `ms` milliseconds from the start (0 or later).
  int64_t TickAt(int64_t ms) const;

 private:
  int division_ = 500;
  std::vector<Point> points_;
};

#endif  // QUAVREX_MIDI_TEMPO_MAP_H_
