#ifndef QUAVREX_MIDI_PITCH_H_
#define QUAVREX_MIDI_PITCH_H_

// Pitches of frequency-mode notes in MIDI terms, and the pitch-bend values that carry what
// lies between two keys.

// The pitch in semitones (69 = A at 440 Hz, 60 = middle C) of the F-number `fnumber` (the
// 10-bit value the chip takes: low byte + 256 x the two high bits) in octave block `block`.
// An F-number of 0 gives no sound; it is placed at pitch 0.
double PitchOfFrequency(int fnumber, int block);

// The key nearest to `pitch`, within 0-127.
int NearestKey(double pitch);

// The smallest bend range (whole semitones, at least the General MIDI default of 2, at most
// kLargestBendRange) that reaches `deviation` semitones up or down.
int BendRangeFor(double deviation);
constexpr int kLargestBendRange = 24;

// The 14-bit pitch-bend value (-8192 to 8191) that raises the key by `deviation` semitones
// when the bend range is `range` semitones; deviations beyond the range are held at its ends.
int BendValue(double deviation, int range);

#endif  // QUAVREX_MIDI_PITCH_H_
