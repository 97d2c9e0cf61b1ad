#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/compiler.h"
#include "core/sjis.h"
#include "tests/sequence/sequence_test_util.h"
#include "tests/test_util.h"

namespace {

const char kHead[] = "4D 74 73 75 00 00 00 00";  // "Mtsu", size left 0
const char kMa1Voice0[] = "F1 21 7B 8C A0 31 57 8C 00 00 11 22 44 F7";
const char kMa2Voice0[] = "60 01 14 52 F4 3A A0 14 62 F7 00 A0 F7";
const char kMa2Voice1[] = "68 01 15 42 F5 3E A0 14 62 F5 00 A0 F7";
const char kMa2Drum24[] = "70 01 30 07 FF 0C A1 31 F8 AF 00 A6 F7";
const char kZeroFourOp[] = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7";

std::string Hex(const std::vector<std::string>& pieces) {
  std::string all;
  for (const std::string& piece : pieces) {
    all += piece + " ";
  }
  return HexDump(FromHex(all));
}

CMmlCompiler Ma2With(std::vector<int> keys) {
  CMmlCompiler c;
  c.SetFormat(kFormatMa2);
  c.m_usedVoices = std::move(keys);
  return c;
}

// Keys 0..count-1 after the given 4-operator keys: a sorted, unique voice list.
std::vector<int> Voices(int fourOp, int twoOp) {
  std::vector<int> keys;
  for (int k = 0; k < twoOp; ++k) {
    keys.push_back(k);
  }
  for (int k = 0; k < fourOp; ++k) {
    keys.push_back(256 + k);
  }
  return keys;
}

TEST(SetupChunkTest, NoVoicesGiveNoChunk) {
  for (int format : {kFormatMa1, kFormatMa2}) {
    CMmlCompiler c;
    c.SetFormat(format);
    c.m_voiceSetupOut = 1;
    EXPECT_TRUE(c.BuildSetupChunk());
    EXPECT_TRUE(c.m_setupChunk.empty());
  }
}

TEST(SetupChunkTest, Ma1WritesVoicesOnlyWithTheVoiceSetupOption) {
  CMmlCompiler off;
  off.m_usedVoices = {0, 5};
  EXPECT_TRUE(off.BuildSetupChunk());
  EXPECT_TRUE(off.m_setupChunk.empty());

  CMmlCompiler on;
  on.m_voiceSetupOut = 1;
  on.m_usedVoices = {0, 5};
  on.m_ma1Voices[5] = {0x05, 0x15, 0x25, 0x35, 0x45, 0x55, 0x65,
                       0x75, 0x85, 0x95, 0xA5, 0xB5, 0xC5, 0xF7};
  EXPECT_TRUE(on.BuildSetupChunk());
  EXPECT_EQ(HexDump(on.m_setupChunk),
            Hex({kHead, "FF F0 05 43 02 80 10 F7",       // opening
                 "FF F0 13 43 02 00 00 00", kMa1Voice0,  // voice 0 as entry 0
                 "FF F0 13 43 02 01 00 05",              // voice 5 as entry 1
                 "05 15 25 35 45 55 65 75 85 95 A5 B5 C5 F7"}));
  EXPECT_TRUE(on.m_voiceSlotOf.empty());
}

TEST(SetupChunkTest, Ma1OpeningCarriesTheExclusiveParameter) {
  CMmlCompiler c;
  c.m_voiceSetupOut = 1;
  c.m_exclusiveParam = 0xAB;
  c.m_usedVoices = {0};
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.m_setupChunk),
            Hex({kHead, "FF F0 05 43 02 80 AB F7", "FF F0 13 43 02 00 00 00", kMa1Voice0}));
}

TEST(SetupChunkTest, Ma2PutsFourOperatorVoicesFirst) {
  // The voice-setup option is an MA1 matter: MA2 always writes the chunk.
  CMmlCompiler c = Ma2With({0, 1, 256});
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.m_setupChunk),
            Hex({kHead, "FF F0 1C 43 03 00 01 00", kZeroFourOp,  // key 256 in slot 0
                 "FF F0 12 43 03 01 00 00", kMa2Voice0,          // key 0 in slot 1
                 "FF F0 12 43 03 02 00 01", kMa2Voice1}));       // key 1 in slot 2
  EXPECT_EQ(c.m_voiceSlotOf, (std::map<int, int>{{0, 1}, {1, 2}, {256, 0}}));
  EXPECT_EQ(c.m_voiceSlotUse, (std::map<int, int>{{0, 2}, {1, 1}}));
}

TEST(SetupChunkTest, Ma2DrumVoicesCarryTheirNoteNumber) {
  CMmlCompiler c = Ma2With({152, 384 + 30});
  c.m_ma2FourOpVoices[128 + 30][0] = 0x77;
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.m_setupChunk),
            Hex({kHead, "FF F0 1C 43 03 00 81 1E",
                 "77 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7",
                 "FF F0 12 43 03 01 80 18", kMa2Drum24}));
  EXPECT_EQ(c.m_voiceSlotUse, (std::map<int, int>{{24, 1}, {30, 1}}));
}

struct SlotCase {
  const char* name;
  int fourOp;              // 4-operator voices 256, 257, ...
  int twoOp;               // 2-operator voices 0, 1, ...
  std::vector<int> slots;  // by key order: 2-operator keys, then 4-operator keys
};

const SlotCase kSlotCases[] = {
    // 2-operator voices alone take the slots in order.
    {"16 two-op", 0, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
    // Two 4-operator voices occupy 0/4 and 1/5.
    {"2 four-op, 12 two-op", 2, 12, {2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1}},
    // Four 4-operator voices occupy 0-7; the 2-operator ones follow slot 3's successor 8.
    {"4 four-op, 8 two-op", 4, 8, {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3}},
    // Five: the fifth 4-operator voice sits in 8 (and 12), so 12 is skipped after 11.
    {"5 four-op, 6 two-op", 5, 6, {9, 10, 11, 13, 14, 15, 0, 1, 2, 3, 8}},
    // Seven (an N part beside seven 4-operator parts): 11 and 15 remain.
    {"7 four-op, 2 two-op", 7, 2, {11, 15, 0, 1, 2, 3, 8, 9, 10}},
    {"1 four-op, 14 two-op", 1, 14, {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
};

TEST(SetupChunkTest, Ma2AssignsVoiceSlots) {
  for (const SlotCase& sc : kSlotCases) {
    SCOPED_TRACE(sc.name);
    std::vector<int> keys = Voices(sc.fourOp, sc.twoOp);
    CMmlCompiler c = Ma2With(keys);
    ASSERT_TRUE(c.BuildSetupChunk()) << SjisToUtf8(c.GetErrorText());
    ASSERT_EQ(keys.size(), sc.slots.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(c.m_voiceSlotOf.at(keys[i]), sc.slots[i]) << "key " << keys[i];
    }
  }
}

struct LimitCase {
  const char* name;
  int fourOp;
  int twoOp;
};

const LimitCase kTooManyCases[] = {
    {"17 two-op", 0, 17},          {"2 four-op, 13 two-op", 2, 13}, {"1 four-op, 15 two-op", 1, 15},
    {"8 four-op, 5 two-op", 8, 5},  // 2-operator voices run from 12 up to 16
    {"13 four-op", 13, 0},          // 0-3, 8-15, then 16
};

TEST(SetupChunkTest, Ma2RejectsAVoicePastTheLastSlot) {
  for (const LimitCase& lc : kTooManyCases) {
    SCOPED_TRACE(lc.name);
    CMmlCompiler c = Ma2With(Voices(lc.fourOp, lc.twoOp));
    EXPECT_FALSE(c.BuildSetupChunk());
    EXPECT_EQ(c.GetErrorText(), Sjis("使用されている音色数が制限を越えています。"));
  }
}

TEST(SetupChunkTest, Ma2TwelveFourOperatorVoicesStillFit) {
  CMmlCompiler c = Ma2With(Voices(12, 0));
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(c.m_voiceSlotOf.at(256 + 11), 15);
}

void VoiceSetupOn(CMmlCompiler& c) { c.m_voiceSetupOut = 1; }

// Through the scheduler, which sorts the voices and ends with the setup chunk.
TEST(SetupChunkTest, IsBuiltFromTheVoicesThePartsSelect) {
  seqtest::Compiled drum = seqtest::CompileOne(kFormatMa2, "@152C");
  ASSERT_TRUE(drum.ok) << drum.Message();
  EXPECT_EQ(HexDump(drum.mc->m_setupChunk), Hex({kHead, "FF F0 12 43 03 00 80 18", kMa2Drum24}));

  // MA1 parts without "@" get voice 0 from the scheduler.
  seqtest::Compiled ma1 =
      seqtest::CompileSlots(kFormatMa1, {{0, "C", ""}, {1, "D", ""}}, VoiceSetupOn);
  ASSERT_TRUE(ma1.ok) << ma1.Message();
  EXPECT_EQ(HexDump(ma1.mc->m_setupChunk),
            Hex({kHead, "FF F0 05 43 02 80 10 F7", "FF F0 13 43 02 00 00 00", kMa1Voice0}));

  std::vector<seqtest::Part> parts;
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    parts.push_back({slot, "@" + std::to_string(slot) + "C", ""});
  }
  parts[15].text = "@16C@17C";
  seqtest::Compiled many = seqtest::CompileSlots(kFormatMa2, parts);
  EXPECT_FALSE(many.ok);
  EXPECT_EQ(many.mc->GetErrorText(), Sjis("使用されている音色数が制限を越えています。"));
}

}  // namespace
