#ifndef QUAVREX_VOICES_VOICE_DEFINITIONS_H_
#define QUAVREX_VOICES_VOICE_DEFINITIONS_H_

#include <cstdint>
#include <string>

#include "core/compile_fault.h"
#include "voices/voice_tables.h"

// The voices a score plays and its score-wide settings: the built-in voices with the score's
// own definitions written over them.
struct VoiceDefinitions {
  Ma1VoiceTable ma1 = BuiltInMa1Voices();
  Ma2FourOpVoiceTable ma2FourOp = BuiltInMa2FourOpVoices();
  Ma2VoiceTable ma2 = BuiltInMa2Voices();
  uint8_t optionA = 1;            // "@A": 1 when "<" lowers the octave
  uint8_t contentsStatus = 1;     // "@C"
  uint8_t exclusiveParam = 0x10;  // "@D"
  uint8_t gateBase = 2;           // "@L": the timebase of gates
  uint8_t durationBase = 2;       // "@R": the timebase of durations
};

// Reads the joined voice-definition blocks (upper-cased, white space removed). A fault is
// placed in that text (FaultText::kStripped of block "D").
StageResult<VoiceDefinitions> ParseVoiceDefinitions(const std::string& text);

#endif  // QUAVREX_VOICES_VOICE_DEFINITIONS_H_
