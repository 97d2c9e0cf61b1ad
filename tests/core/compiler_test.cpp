#include "core/compiler.h"

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "tests/test_util.h"

namespace {

TEST(CompilerObjectTest, StartsWithTheDescribedDefaults) {
  CMmlCompiler c;
  EXPECT_EQ(c.m_format, 4);
  EXPECT_EQ(c.m_tempoFactor, 39062);
  EXPECT_EQ(c.m_durationBase, 2);
  EXPECT_EQ(c.m_gateBase, 2);
  EXPECT_EQ(c.m_contentsStatus, 1);
  EXPECT_EQ(c.m_exclusiveParam, 0x10);
  EXPECT_EQ(c.m_waveType, 0x11);
  EXPECT_EQ(c.m_optionA, 1);
  for (int slot = 0; slot < kPartSlots; ++slot) {
    EXPECT_EQ(c.m_defaultLength[slot], 320000);
    EXPECT_EQ(c.m_gate[slot], 8);
    EXPECT_EQ(c.m_channelVolume[slot], -1);
  }
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    EXPECT_EQ(c.m_octave[slot], 4);
    EXPECT_EQ(c.m_channelVoice[slot], -1);
    EXPECT_EQ(c.m_heldNote[slot], -1);
    EXPECT_EQ(c.m_noteHigh[slot], 0);
    EXPECT_EQ(c.m_noteLow[slot], 108);
  }
}

struct RecordCase {
  const char* name;
  Bytes actual;
  const char* expected;
};

TEST(CompilerObjectTest, BuiltInRecordsAreThoseGiven) {
  CMmlCompiler c;
  auto bytes = [](const auto& record) { return Bytes(record.begin(), record.end()); };
  const RecordCase cases[] = {
      {"MA1 voice 0", bytes(c.m_ma1Voices[0]), "F1 21 7B 8C A0 31 57 8C 00 00 11 22 44 F7"},
      {"MA1 voice 1", bytes(c.m_ma1Voices[1]), "71 61 7B 89 80 31 57 8C 00 30 31 62 00 F7"},
      {"MA1 voice 127", bytes(c.m_ma1Voices[127]), "21 6C 03 FC A7 65 67 FC 00 00 33 00 00 F7"},
      {"MA2 voice 0", bytes(c.m_ma2Voices[0]), "60 01 14 52 F4 3A A0 14 62 F7 00 A0 F7"},
      {"MA2 voice 1", bytes(c.m_ma2Voices[1]), "68 01 15 42 F5 3E A0 14 62 F5 00 A0 F7"},
      {"MA2 drum 24", bytes(c.m_ma2Voices[152]), "70 01 30 07 FF 0C A1 31 F8 AF 00 A6 F7"},
      {"MA2 drum 84", bytes(c.m_ma2Voices[212]), "58 01 E0 54 3E 00 A3 90 36 40 19 A1 F7"},
      // Records no built-in table fills hold the zero record.
      {"MA2 drum 0", bytes(c.m_ma2Voices[128]), "00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"MA2 drum 127", bytes(c.m_ma2Voices[255]), "00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"MA2 4-op 0", bytes(c.m_ma2FourOpVoices[0]),
       "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7"},
  };
  for (const RecordCase& rc : cases) {
    SCOPED_TRACE(rc.name);
    EXPECT_EQ(HexDump(rc.actual), HexDump(FromHex(rc.expected)));
  }
}

TEST(CompilerObjectTest, EachObjectStartsFromItsOwnCopyOfTheTables) {
  CMmlCompiler first;
  first.m_ma2Voices[0][0] = 0x00;
  first.m_ma1Voices[1][0] = 0x00;
  CMmlCompiler second;
  EXPECT_EQ(second.m_ma2Voices[0][0], 0x60);
  EXPECT_EQ(second.m_ma1Voices[1][0], 0x71);
}

TEST(CompilerObjectTest, FailStoresOneMessageWithThePartLabel) {
  CMmlCompiler c;
  c.m_partName[1] = "2";
  EXPECT_FALSE(c.FailPart(1, "パート 'V'には 0～15 を設定してください。"));
  EXPECT_EQ(c.GetErrorText(), "2\x83\x70\x81\x5B\x83\x67 'V'\x82\xC9\x82\xCD 0\x81\x60"
                              "15 \x82\xF0\x90\xDD\x92\xE8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82"
                              "\xB3\x82\xA2\x81\x42");
  EXPECT_FALSE(c.FailPart(kAdpcmSlot, "パート"));
  EXPECT_EQ(c.GetErrorText(), "A" + Sjis("パート"));
}

}  // namespace
