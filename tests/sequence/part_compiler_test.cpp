#include "sequence/part_compiler.h"

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

TEST(PartCompilerTest, StartsWithTheDescribedDefaults) {
  seqtest::TestCompiler c;
  EXPECT_EQ(c.format, 4);
  EXPECT_EQ(c.tempoFactor, 39062);
  EXPECT_EQ(c.score.voices.durationBase, 2);
  EXPECT_EQ(c.score.voices.gateBase, 2);
  EXPECT_EQ(c.score.voices.contentsStatus, 1);
  EXPECT_EQ(c.score.voices.exclusiveParam, 0x10);
  EXPECT_EQ(c.score.waves.waveType, 0x11);
  EXPECT_EQ(c.score.voices.optionA, 1);
  for (const SlotState& slot : c.slots) {
    EXPECT_EQ(slot.defaultLength, 320000);
    EXPECT_EQ(slot.gate, 8);
    EXPECT_EQ(slot.channelVolume, -1);
    EXPECT_EQ(slot.octave, 4);
    EXPECT_EQ(slot.channelVoice, -1);
    EXPECT_EQ(slot.heldNote, -1);
  }
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    EXPECT_EQ(c.tracks.channelVoice[slot], -1);
    EXPECT_EQ(c.tracks.noteHigh[slot], 0);
    EXPECT_EQ(c.tracks.noteLow[slot], 108);
  }
}

TEST(PartCompilerTest, FailStoresOneMessageWithThePartLabel) {
  seqtest::TestCompiler c;
  c.score.partName[1] = "2";
  EXPECT_FALSE(c.FailPart(1, "パート 'V'には 0～15 を設定してください。"));
  EXPECT_EQ(c.fault.message,
            "2\x83\x70\x81\x5B\x83\x67 'V'\x82\xC9\x82\xCD 0\x81\x60"
            "15 \x82\xF0\x90\xDD\x92\xE8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82"
            "\xB3\x82\xA2\x81\x42");
  EXPECT_FALSE(c.FailPart(kAdpcmSlot, "パート"));
  EXPECT_EQ(c.fault.message, "A" + Sjis("パート"));
}

}  // namespace
