#ifndef QUAVREX_SEQUENCE_PITCH_BYTES_H_
#define QUAVREX_SEQUENCE_PITCH_BYTES_H_

// The pitch bytes of a frequency-mode note (EV_FREQ_NOTE): the F-number and block of a pitch
// given in 1/16 semitones, looked up in a table worked out at compile time.

#include <array>
#include <cstddef>
#include <cstdint>

namespace pitch_bytes_detail {

// F-number of each semitone of a block at c = 0 and its rise over a whole semitone of detune.
inline constexpr int kFnumberBase[12] = {88, 109, 131, 154, 178, 204, 231, 260, 291, 324, 358, 395};
inline constexpr int kFnumberRise[12] = {22, 22, 23, 24, 26, 27, 29, 31, 33, 34, 37, 38};

// The two pitch bytes of a frequency-mode event. A pitch under the lowest block has none.
struct PitchBytes {
  uint8_t low = 0;
  uint8_t high = 0;  // F-number bits 8-9 plus one, and the block from bit 2; 0: no such pitch
};

// Pitches are counted in 1/16 semitone: 16 m + c for a semitone m and a fraction c of 0-15.
// A playable note (13-108) less its one borrowed semitone starts at m = 12.
inline constexpr int kLowestPitch = 12 * 16;
inline constexpr int kPitches = (108 - 12 + 1) * 16;

// The bytes of pitch 16 m + c, worked out as the chip counts them.
constexpr PitchBytes PitchBytesOf(int m, int c) {
  const int semitone = m % 12;
  int block = m / 12 - 1;
  int fnumber = kFnumberBase[semitone] + kFnumberRise[semitone] * c / 16;
  if (semitone == 0) {
    // C counts from 433, the top of the block below, and moves up a block past 434.
    const int v = 433 + kFnumberRise[0] * c / 16;
    if (v > 434) {
      fnumber = v - 345;
    } else {
      fnumber = v;
      block -= 1;
    }
  }
  if (block < 0) {
    return {};
  }
  return {static_cast<uint8_t>(fnumber & 255),
          static_cast<uint8_t>(((fnumber >> 8) + 1) | (block << 2))};
}

// Every note of a glide is sounded in frequency mode, so its bytes are looked up.
inline constexpr std::array<PitchBytes, kPitches> kPitchTable = [] {
  std::array<PitchBytes, kPitches> table{};
  for (int p = 0; p < kPitches; ++p) {
    table[p] = PitchBytesOf((kLowestPitch + p) / 16, p % 16);
  }
  return table;
}();

}  // namespace pitch_bytes_detail

using pitch_bytes_detail::PitchBytes;

// The bytes of pitch 16 m + c (c 0-15), the semitone m counted like a note number; none
// (high 0) under the lowest block or above note 108.
inline PitchBytes PitchBytesAt(int64_t pitch) {
  using namespace pitch_bytes_detail;
  const int64_t index = pitch - kLowestPitch;
  return static_cast<uint64_t>(index) < static_cast<uint64_t>(kPitches)
             ? kPitchTable[static_cast<size_t>(index)]
             : PitchBytes{};
}

#endif  // QUAVREX_SEQUENCE_PITCH_BYTES_H_
