// Voice-record fields land in the registers with the numbers the chip needs.

#include "synth/opl3_registers.h"

#include <gtest/gtest.h>

#include "voices/voice_tables.h"

namespace {

TEST(Opl3RegistersTest, BuiltInVoiceZeroTranslates) {
  // 60 01 | 14 52 F4 3A A0 | 14 62 F7 00 A0 | F7
  const Ma2VoiceRecord& record = BuiltInMa2Voices()[0];
  const FmVoice voice = DecodeFmVoice(record.data(), record.size());
  EXPECT_FALSE(voice.fourOp);
  EXPECT_EQ(voice.effectFrequency, 1);
  EXPECT_EQ(voice.feedback, 4);
  EXPECT_EQ(voice.algorithm, 0);
  struct Expected {
    int flags, level, attackDecay, sustainRelease, released, waveform;
  };
  // Operator 1: multiple 1, envelope type, release 5, decay 2, attack 15, sustain level 4,
  // total level 14, key scale level 2 (1.5 dB/oct), vibrato and tremolo levels 2 with both
  // flags off, waveform 0. Operator 2: the same but release 6, sustain level 7, total level 0,
  // key scale level 0.
  const Expected expected[] = {
      {0x21, 0x80 | 14, 0xF2, 0x45, 0x45, 0},
      {0x21, 0x00, 0xF2, 0x76, 0x76, 0},
  };
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const FmOperator& op = voice.operators[k];
    EXPECT_EQ(OperatorFlagsRegister(op), expected[k].flags);
    EXPECT_EQ(LevelRegister(op, 0), expected[k].level);
    EXPECT_EQ(AttackDecayRegister(op), expected[k].attackDecay);
    EXPECT_EQ(SustainReleaseRegister(op, false), expected[k].sustainRelease);
    EXPECT_EQ(SustainReleaseRegister(op, true), expected[k].released);
    EXPECT_EQ(WaveformRegister(op), expected[k].waveform);
    EXPECT_EQ(op.vibratoLevel, 2);
    EXPECT_EQ(op.tremoloLevel, 2);
    EXPECT_FALSE(op.vibrato || op.tremolo);
  }
  EXPECT_EQ(ConnectionRegister(voice, 0), 0x10 | 4 << 1 | 0);
}

TEST(Opl3RegistersTest, FieldsMapToTheirBits) {
  FmOperator op;
  op.envelope = true;
  op.sustain = true;
  op.multiple = 15;
  op.keyScaleLevel = 3;
  op.totalLevel = 60;
  op.releaseRate = 9;
  op.sustainLevel = 15;
  op.waveform = 7;
  EXPECT_EQ(OperatorFlagsRegister(op), 0x2F);  // envelope type, multiple; no chip LFO bits
  EXPECT_EQ(LevelRegister(op, 2), 0xC0 | 62);
  EXPECT_EQ(LevelRegister(op, 10), 0xC0 | 63);  // attenuation stops at 63
  EXPECT_EQ(SustainReleaseRegister(op, false), 0xF9);
  EXPECT_EQ(SustainReleaseRegister(op, true), 0xF4);  // the sustain flag's slow release
  EXPECT_EQ(WaveformRegister(op), 7);
}

TEST(Opl3RegistersTest, AlgorithmsChooseConnectionsAndCarriers) {
  struct Case {
    bool fourOp;
    int algorithm;
    int first, second;  // 0xC0 values (feedback 5)
    int carriers;
  };
  const Case cases[] = {
      // 2 operators: 1 -> 2; 1 + 2
      {false, 0, 0x1A, -1, 0b0010},
      {false, 1, 0x1B, -1, 0b0011},
      // 4 operators: 1-2-3-4; 1-2 + 3-4; 1 + 2-3-4; 1 + 2-3 + 4
      {true, 4, 0x1A, 0x10, 0b1000},
      {true, 5, 0x1A, 0x11, 0b1010},
      {true, 6, 0x1B, 0x10, 0b1001},
      {true, 7, 0x1B, 0x11, 0b1101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.algorithm);
    FmVoice voice;
    voice.fourOp = c.fourOp;
    voice.algorithm = c.algorithm;
    voice.feedback = 5;
    EXPECT_EQ(ConnectionRegister(voice, 0), c.first);
    if (c.fourOp) {
      EXPECT_EQ(ConnectionRegister(voice, 1), c.second);
    }
    EXPECT_EQ(CarrierMask(voice), c.carriers);
  }
}

TEST(Opl3RegistersTest, NoteTableAndVolumeCurve) {
  struct NoteCase {
    int note, fnum, block;
  };
  const NoteCase notes[] = {
      {69, 580, 4},   // A4
      {60, 689, 3},   // C4 sits at the top of block 3
      {61, 365, 4},   // C#4
      {71, 651, 4},   // B4
      {108, 689, 7},  // C8, the highest note
      {13, 365, 0},   // C#0... the lowest note of the windows
  };
  for (const NoteCase& c : notes) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(NoteFNumber(c.note).fnum, c.fnum);
    EXPECT_EQ(NoteFNumber(c.note).block, c.block);
  }
  EXPECT_NEAR(FNumberHz({580, 4}), 440.0, 0.01);
  // 40 log10(v / 127) dB in 0.75 dB steps.
  EXPECT_EQ(VolumeAttenuationSteps(127), 0);
  EXPECT_EQ(VolumeAttenuationSteps(96), 6);   // 4.86 dB
  EXPECT_EQ(VolumeAttenuationSteps(64), 16);  // 11.9 dB
  EXPECT_EQ(VolumeAttenuationSteps(1), 112);  // 84 dB: beyond the total level's reach
  EXPECT_EQ(VolumeAttenuationSteps(0), kMuteSteps);
}

}  // namespace
