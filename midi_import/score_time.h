#ifndef QUAVREX_MIDI_IMPORT_SCORE_TIME_H_
#define QUAVREX_MIDI_IMPORT_SCORE_TIME_H_

// The compiler's arithmetic of time, as a score is compiled: lengths are fine units (1/10000 of
// a 4 ms tick); a whole note is 1280000 score units, scaled by the tempo factor Z of "T" into
// fine units as trunc(units * (Z * 0.0001)). The import chooses each length so that the
// compiled event lands on its target tick, so it computes exactly what the compiler will;
// tests/midi_import pins these against compiled files.

#include <cstdint>

namespace score_time {

constexpr int64_t kFinePerTick = 10000;
constexpr int kMsPerTick = 4;

// The tempo factor of "T" tempo.
inline int TempoFactor(int tempo) { return 600000000 / tempo / 128; }

// The tick of a part time (fine units, never negative), halves up.
inline int64_t TickOf(int64_t fine) { return (fine + kFinePerTick / 2) / kFinePerTick; }

// A note value n ("4" a quarter) at tempo factor z.
inline int64_t ValueLength(int n, int z) {
  return static_cast<int64_t>(static_cast<double>(1280000 / n) * (z * 0.0001));
}

// "%" n: n 192ths of a whole note at tempo factor z.
inline int64_t PercentLength(int64_t n, int z) {
  return static_cast<int64_t>(static_cast<double>(int64_t{1280000} * n) * (1.0 / 192) *
                              (z * 0.0001));
}

// A value of `length` fine units with `dots` dots: each dot adds half of the addition before.
inline int64_t Dotted(int64_t length, int dots) {
  int64_t addition = length;
  for (int k = 0; k < dots; ++k) {
    addition /= 2;
    length += addition;
  }
  return length;
}

// Where a note sounding from part time `start` for `length` fine units stops, in ticks, with
// the full gate ("Q8"): a plain note for its gate less two ticks, a note in frequency mode
// (detuned with "@K") two ticks before its gate ends.
inline int64_t NoteEndTick(int64_t start, int64_t length, bool frequencyMode) {
  return frequencyMode ? TickOf(start + length) - 2 : TickOf(start) + TickOf(length) - 2;
}

}  // namespace score_time

#endif  // QUAVREX_MIDI_IMPORT_SCORE_TIME_H_
