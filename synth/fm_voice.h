#ifndef QUAVREX_SYNTH_FM_VOICE_H_
#define QUAVREX_SYNTH_FM_VOICE_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "reader/mmf_model.h"

// One operator of a voice record, its fields unpacked as the reader names them. The flags
// (vibrato, envelope, sustain, key scale rate, tremolo) are 0 or 1: vibrato bends the operator's
// pitch with the voice's LFO, tremolo swings its level, envelope holds the sustain level until
// key-off, sustain releases after key-off at the slow rate 4.
using FmOperator = OperatorFields;

// A voice record unpacked: two or four operators, operator 1 first.
struct FmVoice {
  int effectFrequency = 0;  // 0-3, the rate of the voice's own LFO
  int feedback = 0;         // 0-7, operator 1 into itself
  int algorithm = 0;        // 0-1 (2 operators) or 4-7 (4 operators)
  bool fourOp = false;
  std::array<FmOperator, 4> operators{};

  int OperatorCount() const { return fourOp ? 4 : 2; }
};

// Unpacks a voice record of 13 bytes (2 operators) or 23 bytes (4 operators):
//   byte 0: effect frequency (bits 7-6), feedback (5-3), algorithm (2-0); byte 1: 0x01;
//   then 5 bytes per operator:
//     0: multiple (7-4), vibrato (3), envelope (2), sustain (1), key scale rate (0)
//     1: release rate (7-4), decay rate (3-0)
//     2: attack rate (7-4), sustain level (3-0)
//     3: total level (7-2), key scale level (1-0)
//     4: vibrato level (7-6), tremolo level (5-4), tremolo (3), waveform (2-0)
// A record of any other size gives a 2-operator voice of zero fields from the bytes present.
FmVoice DecodeFmVoice(const uint8_t* record, size_t size);

#endif  // QUAVREX_SYNTH_FM_VOICE_H_
