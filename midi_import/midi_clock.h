#ifndef QUAVREX_MIDI_IMPORT_MIDI_CLOCK_H_
#define QUAVREX_MIDI_IMPORT_MIDI_CLOCK_H_

#include <cstdint>
#include <vector>

#include "midi_import/smf_reader.h"

// The ticks of a MIDI file in microseconds: through its tempo map (500000 us a quarter until
// the first tempo event), or fixed by an SMPTE division (29 frames meaning 29.97). Each time is
// worked out from the start of its tempo's segment, so that no rounding adds up.
class MidiClock {
 public:
  explicit MidiClock(const SmfSong& song);

  double Us(int64_t tick) const;

 private:
  struct Segment {
    int64_t tick;
    double us;
    uint32_t usPerQuarter;
  };
  double At(const Segment& s, int64_t tick) const;

  int ticksPerQuarter_ = 0;
  double usPerTick_ = 0;  // SMPTE
  std::vector<Segment> segments_;
};

#endif  // QUAVREX_MIDI_IMPORT_MIDI_CLOCK_H_
