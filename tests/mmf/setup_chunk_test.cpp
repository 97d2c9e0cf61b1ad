#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "mmf/mmf_image.h"
#include "tests/reader/compiled_score.h"
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

// What the setup chunk is built from, set by hand, and what it gives.
struct SetupInput {
  int format = kFormatMa1;
  bool voiceSetup = false;
  std::vector<int> usedVoices;
  VoiceDefinitions voices;
  SetupChunk out;
  std::string message;

  void SetFormat(int scoreFormat) { format = scoreFormat; }
  bool BuildSetupChunk() {
    StageResult<SetupChunk> built = ::BuildSetupChunk(usedVoices, voices, format, voiceSetup);
    if (!built.ok()) {
      message = built.fault().message;
      return false;
    }
    out = built.value();
    return true;
  }
};

SetupInput Ma2With(std::vector<int> keys) {
  SetupInput c;
  c.SetFormat(kFormatMa2);
  c.usedVoices = std::move(keys);
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
    SetupInput c;
    c.SetFormat(format);
    c.voiceSetup = true;
    EXPECT_TRUE(c.BuildSetupChunk());
    EXPECT_TRUE(c.out.bytes.empty());
  }
}

TEST(SetupChunkTest, Ma1WritesVoicesOnlyWithTheVoiceSetupOption) {
  SetupInput off;
  off.usedVoices = {0, 5};
  EXPECT_TRUE(off.BuildSetupChunk());
  EXPECT_TRUE(off.out.bytes.empty());

  SetupInput on;
  on.voiceSetup = true;
  on.usedVoices = {0, 5};
  on.voices.ma1[5] = {0x05, 0x15, 0x25, 0x35, 0x45, 0x55, 0x65,
                      0x75, 0x85, 0x95, 0xA5, 0xB5, 0xC5, 0xF7};
  EXPECT_TRUE(on.BuildSetupChunk());
  EXPECT_EQ(HexDump(on.out.bytes),
            Hex({kHead, "FF F0 05 43 02 80 10 F7",       // opening
                 "FF F0 13 43 02 00 00 00", kMa1Voice0,  // voice 0 as entry 0
                 "FF F0 13 43 02 01 00 05",              // voice 5 as entry 1
                 "05 15 25 35 45 55 65 75 85 95 A5 B5 C5 F7"}));
  EXPECT_TRUE(on.out.voiceSlotOf.empty());
}

TEST(SetupChunkTest, Ma1OpeningCarriesTheExclusiveParameter) {
  SetupInput c;
  c.voiceSetup = true;
  c.voices.exclusiveParam = 0xAB;
  c.usedVoices = {0};
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.out.bytes),
            Hex({kHead, "FF F0 05 43 02 80 AB F7", "FF F0 13 43 02 00 00 00", kMa1Voice0}));
}

TEST(SetupChunkTest, Ma2PutsFourOperatorVoicesFirst) {
  // The voice-setup option is an MA1 matter: MA2 always writes the chunk.
  SetupInput c = Ma2With({0, 1, 256});
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.out.bytes),
            Hex({kHead, "FF F0 1C 43 03 00 01 00", kZeroFourOp,  // key 256 in slot 0
                 "FF F0 12 43 03 01 00 00", kMa2Voice0,          // key 0 in slot 1
                 "FF F0 12 43 03 02 00 01", kMa2Voice1}));       // key 1 in slot 2
  EXPECT_EQ(c.out.voiceSlotOf, (std::map<int, int>{{0, 1}, {1, 2}, {256, 0}}));
  EXPECT_EQ(c.out.voiceSlotUse, (std::map<int, int>{{0, 2}, {1, 1}}));
}

TEST(SetupChunkTest, Ma2DrumVoicesCarryTheirNoteNumber) {
  SetupInput c = Ma2With({152, 384 + 30});
  c.voices.ma2FourOp[128 + 30][0] = 0x77;
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(HexDump(c.out.bytes),
            Hex({kHead, "FF F0 1C 43 03 00 81 1E",
                 "77 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7",
                 "FF F0 12 43 03 01 80 18", kMa2Drum24}));
  EXPECT_EQ(c.out.voiceSlotUse, (std::map<int, int>{{24, 1}, {30, 1}}));
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
    SetupInput c = Ma2With(keys);
    ASSERT_TRUE(c.BuildSetupChunk()) << SjisToUtf8(c.message);
    ASSERT_EQ(keys.size(), sc.slots.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(c.out.voiceSlotOf.at(keys[i]), sc.slots[i]) << "key " << keys[i];
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
    SetupInput c = Ma2With(Voices(lc.fourOp, lc.twoOp));
    EXPECT_FALSE(c.BuildSetupChunk());
    EXPECT_EQ(c.message, Sjis("使用されている音色数が制限を越えています。"));
  }
}

TEST(SetupChunkTest, Ma2TwelveFourOperatorVoicesStillFit) {
  SetupInput c = Ma2With(Voices(12, 0));
  EXPECT_TRUE(c.BuildSetupChunk());
  EXPECT_EQ(c.out.voiceSlotOf.at(256 + 11), 15);
}

// The body of the setup chunk of a finished image, as HexDump shows it.
std::string SetupBody(const Bytes& image) {
  const std::string bytes(image.begin(), image.end());
  const size_t at = bytes.find("Mtsu");
  if (at == std::string::npos || at + 8 > image.size()) {
    return "no setup chunk";
  }
  const size_t size = size_t{image[at + 4]} << 24 | size_t{image[at + 5]} << 16 |
                      size_t{image[at + 6]} << 8 | image[at + 7];
  const size_t end = std::min(image.size(), at + 8 + size);
  return HexDump(Bytes(image.begin() + static_cast<ptrdiff_t>(at + 8),
                       image.begin() + static_cast<ptrdiff_t>(end)));
}

// Through the whole compile: the part compilers gather the voices, sorted and once each.
TEST(SetupChunkTest, IsBuiltFromTheVoicesThePartsSelect) {
  const CompiledScore drum = CompileInMemory("1[@152C]", true, false, ".");
  ASSERT_TRUE(drum.ok) << SjisToUtf8(drum.message);
  EXPECT_EQ(SetupBody(drum.image), Hex({"FF F0 12 43 03 00 80 18", kMa2Drum24}));

  // MA1 parts without "@" get voice 0 from the scheduler.
  const CompiledScore ma1 = CompileInMemory("1[C]2[D]", false, true, ".");
  ASSERT_TRUE(ma1.ok) << SjisToUtf8(ma1.message);
  EXPECT_EQ(SetupBody(ma1.image),
            Hex({"FF F0 05 43 02 80 10 F7", "FF F0 13 43 02 00 00 00", kMa1Voice0}));

  std::string score;
  for (int part = 1; part <= kSequenceSlots; ++part) {
    score += std::to_string(part) + "[@" + std::to_string(part - 1) + "C]";
  }
  const CompiledScore many = CompileInMemory(score + "16[@16C@17C]", true, false, ".");
  EXPECT_FALSE(many.ok);
  EXPECT_EQ(many.message, Sjis("使用されている音色数が制限を越えています。"));
}

}  // namespace
