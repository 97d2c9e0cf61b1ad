// The commands and notes of a sequence part, end to end through the scheduler: part text in,
// events or the exact message out. At T120 a quarter note is 1249984 fine units, 125 ticks;
// at Q8 it sounds 123 ticks.

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"
#include "tests/test_util.h"

namespace {

using seqtest::CompileOne;
using seqtest::CompileSlots;
using seqtest::Dump;

struct EventCase {
  const char* text;
  const char* events;  // track 0, or only the events of `only` when set
  int only = 0;
};

void ExpectEvents(int format, const EventCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const EventCase& c = cases[i];
    SCOPED_TRACE(c.text);
    seqtest::Compiled r = CompileOne(format, c.text);
    ASSERT_TRUE(r.ok) << r.Message();
    EXPECT_EQ(Dump(r.Track(0), c.only), c.events);
  }
}

// clang-format off
const EventCase kMa1Cases[] = {
    // the scheduler adds the default voice and volume of a sounding MA1 channel
    {"C", "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=0 NOTE[60,123] ch0 | t=125 END ch0"},
    // only the first volume and voice of a channel count, at time 0
    {"V12V5C", "t=0 VOICE[0,0] ch0 | t=0 VOL[103] ch0 | t=0 NOTE[60,123] ch0 | t=125 END ch0"},
    {"@10@20C", "t=0 VOICE[10,0] ch0 | t=0 VOL[96] ch0 | t=0 NOTE[60,123] ch0 | t=125 END ch0"},
    {"R4V5@7C", "t=0 VOICE[7,0] ch0 | t=0 VOL[47] ch0 | t=125 NOTE[60,123] ch0 | t=250 END ch0"},
    {"V0C", "t=0 VOL[0] ch0", EV_VOLUME},
    {"@V~C", "t=0 VOL[0] ch0", EV_VOLUME},
    {"@V_20C", "t=0 VOL[20] ch0", EV_VOLUME},
    {"@V127C", "t=0 VOL[127] ch0", EV_VOLUME},
    {"V5@V~10@V_3C", "t=0 VOL[47] ch0", EV_VOLUME},
    // pan, expression and detune are checked and ignored; modulation keeps its value
    {"P2X3@P5@X9@K5C", "t=0 NOTE[60,123] ch0", EV_NOTE},
    {"R4@M5C", "t=125 MOD[5,0] ch0", EV_MODULATION},
    // the note range marks
    {"O2C#O8C", "t=0 NOTE[37,123] ch0 | t=125 NOTE[108,123] ch0", EV_NOTE},
};

const EventCase kMa2ControlCases[] = {
    // the default voice and volume come at time 0 even when the first note is later
    {"R4C", "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=125 NOTE[60,123] ch0 | t=250 END ch0"},
    {"@5C@3C", "t=0 VOICE[5,0] ch0 | t=125 VOICE[3,0] ch0", EV_VOICE},
    {"C@152C", "t=0 VOICE[0,0] ch0 | t=125 VOICE[152,0] ch0", EV_VOICE},
    {"V1V15R4V0C", "t=0 VOL[15] ch0 | t=0 VOL[127] ch0 | t=125 VOL[0] ch0", EV_VOLUME},
    {"@V100@V~@V_5@V~126C", "t=0 VOL[100] ch0 | t=0 VOL[101] ch0 | t=0 VOL[96] ch0 | t=0 VOL[127] ch0",
     EV_VOLUME},
    // relative volume before any volume starts from -1
    {"@V_C", "t=0 VOL[0] ch0", EV_VOLUME},
    {"@V~5C", "t=0 VOL[4] ch0", EV_VOLUME},
    {"P1P2P3@P5C", "t=0 PAN[0] ch0 | t=0 PAN[127] ch0 | t=0 PAN[64] ch0 | t=0 PAN[5] ch0", EV_PAN},
    {"X1X2X15@X100C",
     "t=0 EXPR[1,1] ch0 | t=0 EXPR[1,1] ch0 | t=0 EXPR[14,1] ch0 | t=0 EXPR[100,0] ch0",
     EV_EXPRESSION},
    {"@M0@M7@M15@M127C",
     "t=0 MOD[1,1] ch0 | t=0 MOD[1,1] ch0 | t=0 MOD[1,1] ch0 | t=0 MOD[14,1] ch0", EV_MODULATION},
    {"C@M64C", "t=125 MOD[7,1] ch0", EV_MODULATION},
    // checked only: tempo (applied by the scheduler), operators and rhythm mark
    {"@O4N10T120C", "t=0 NOTE[60,123] ch0", EV_NOTE},
};

const EventCase kPitchCases[] = {
    {"CDEFGAB", "t=0 NOTE[60,123] ch0 | t=125 NOTE[62,123] ch0 | t=250 NOTE[64,123] ch0 | "
                "t=375 NOTE[65,123] ch0 | t=500 NOTE[67,123] ch0 | t=625 NOTE[69,123] ch0 | "
                "t=750 NOTE[71,123] ch0", EV_NOTE},
    {"C#C+C-C##D-+", "t=0 NOTE[61,123] ch0 | t=125 NOTE[61,123] ch0 | t=250 NOTE[59,123] ch0 | "
                     "t=375 NOTE[62,123] ch0 | t=500 NOTE[62,123] ch0", EV_NOTE},
    {"O2C>C<<C", "t=0 NOTE[36,123] ch0 | t=125 NOTE[48,123] ch0 | t=250 NOTE[24,123] ch0",
     EV_NOTE},
    {"O+5CO-0C#", "t=0 NOTE[72,123] ch0 | t=125 NOTE[13,123] ch0", EV_NOTE},
    {"K2CK-2CK+0C", "t=0 NOTE[62,123] ch0 | t=125 NOTE[58,123] ch0 | t=250 NOTE[60,123] ch0",
     EV_NOTE},
    {"K~2K~3CK_6C", "t=0 NOTE[65,123] ch0 | t=125 NOTE[59,123] ch0", EV_NOTE},
};

const EventCase kLengthCases[] = {
    {"C4.C", "t=0 NOTE[60,185] ch0 | t=187 NOTE[60,123] ch0", EV_NOTE},
    {"C4..C", "t=0 NOTE[60,217] ch0 | t=219 NOTE[60,123] ch0", EV_NOTE},
    {"C4^8C", "t=0 NOTE[60,185] ch0 | t=187 NOTE[60,123] ch0", EV_NOTE},
    {"C*96C%48C", "t=0 NOTE[60,94] ch0 | t=96 NOTE[60,123] ch0 | t=221 NOTE[60,123] ch0",
     EV_NOTE},
    {"L8CCL1C", "t=0 NOTE[60,60] ch0 | t=62 NOTE[60,60] ch0 | t=125 NOTE[60,498] ch0", EV_NOTE},
    {"Q4CQ1C", "t=0 NOTE[60,60] ch0 | t=125 NOTE[60,14] ch0", EV_NOTE},
    // a note shorter than the 2 ticks taken off its gate keeps the negative duration
    {"C*1Q1C*1", "t=0 NOTE[60,-1] ch0 | t=1 NOTE[60,-2] ch0", EV_NOTE},
    {"C3C3C3C", "t=0 NOTE[60,165] ch0 | t=167 NOTE[60,165] ch0 | t=333 NOTE[60,165] ch0 | "
                "t=500 NOTE[60,123] ch0", EV_NOTE},
    {"R*10R%96C", "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=260 NOTE[60,123] ch0 | t=385 END ch0"},
};

// Normal mode: slurred notes stay open until the next note decides their duration.
const EventCase kSlurCases[] = {
    {"C4&C4", "t=0 NOTE[60,248] ch0", EV_NOTE},
    {"C4&C4&C4", "t=0 NOTE[60,373] ch0", EV_NOTE},
    {"Q4C4&C4", "t=0 NOTE[60,185] ch0", EV_NOTE},
    {"C4&D4", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"C4&V10D4", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"C4&", "t=0 NOTE[60,123] ch0", EV_NOTE},
    {"C4&R4", "t=0 NOTE[60,0] ch0", EV_NOTE},
    {"C4&R4D4", "t=0 NOTE[60,252] ch0 | t=250 NOTE[62,123] ch0", EV_NOTE},
    {"C4&C4D4", "t=0 NOTE[60,248] ch0 | t=250 NOTE[62,123] ch0", EV_NOTE},
    {"C4&D4&D4", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,248] ch0", EV_NOTE},
};

// MA2 frequency mode. C4 = note 60: F-number 433 of block 3 (177, 14); C#4: 109 of block 4
// (109, 17). Key-off 2 ticks before the gate ends.
const EventCase kFrequencyCases[] = {
    {"@K16C", "t=0 FREQ[109,17,1] ch0 | t=123 FREQ[109,17,0] ch0", EV_FREQ_NOTE},
    // B3 with c = 8: 395 + 38 * 8 / 16 = 414
    {"@K-8C", "t=0 FREQ[158,14,1] ch0 | t=123 FREQ[158,14,0] ch0", EV_FREQ_NOTE},
    // C at c = 1 stays at the top of the block below; at c = 2 it moves up
    {"@K1C", "t=0 FREQ[178,14,1] ch0 | t=123 FREQ[178,14,0] ch0", EV_FREQ_NOTE},
    {"@K2C", "t=0 FREQ[90,17,1] ch0 | t=123 FREQ[90,17,0] ch0", EV_FREQ_NOTE},
    {"@K~C", "t=0 FREQ[178,14,1] ch0 | t=123 FREQ[178,14,0] ch0", EV_FREQ_NOTE},
    {"@K-14O0C#", "t=0 FREQ[90,1,1] ch0 | t=123 FREQ[90,1,0] ch0", EV_FREQ_NOTE},
    // a detune step ahead in the slur chain makes the whole chain legato
    {"C4&@K4D4", "t=0 FREQ[177,14,1] ch0 | t=125 FREQ[136,17,2] ch0 | t=248 FREQ[136,17,0] ch0",
     EV_FREQ_NOTE},
    {"@K4C4&C4", "t=0 FREQ[93,17,1] ch0 | t=125 FREQ[93,17,2] ch0 | t=248 FREQ[93,17,0] ch0",
     EV_FREQ_NOTE},
    // detune back to 0 ends frequency mode after the legato note
    {"@K4C4&@K0D4C4", "t=0 FREQ[93,17,1] ch0 | t=125 FREQ[131,17,2] ch0 | "
                      "t=248 FREQ[131,17,0] ch0", EV_FREQ_NOTE},
    {"@K4C4&@K0D4C4", "t=250 NOTE[60,123] ch0", EV_NOTE},
    // the key-off never comes before the key-on
    {"@K4C*1", "t=0 FREQ[93,17,1] ch0 | t=0 FREQ[93,17,0] ch0", EV_FREQ_NOTE},
    {"@K4C*3", "t=0 FREQ[93,17,1] ch0 | t=1 FREQ[93,17,0] ch0", EV_FREQ_NOTE},
    // a slurred frequency note before a final rest gets no key-off
    {"@K4C4&R4", "t=0 FREQ[93,17,1] ch0", EV_FREQ_NOTE},
    // a chain without a glide or detune stays in normal mode; so does a step after its end
    {"C4&D4", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"C4&DE&@K4F", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"C4&DE&@K4F", "t=250 FREQ[178,17,1] ch0 | t=375 FREQ[210,17,2] ch0 | "
                   "t=498 FREQ[210,17,0] ch0", EV_FREQ_NOTE},
    // a chain that ends before a glide stays in normal mode; the chain that reaches it does not
    {"C4&DE&(FG)4", "t=0 NOTE[60,127] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"C4&DE&(FG)4", "t=250 FREQ[178,17,1] ch0 | t=375 FREQ[204,17,2] ch0 | "
                    "t=382 FREQ[210,17,2] ch0 | t=400 FREQ[217,17,2] ch0 | "
                    "t=419 FREQ[224,17,2] ch0 | t=438 FREQ[231,17,2] ch0 | "
                    "t=456 FREQ[238,17,2] ch0 | t=475 FREQ[245,17,2] ch0 | "
                    "t=494 FREQ[4,18,2] ch0 | t=498 FREQ[4,18,0] ch0", EV_FREQ_NOTE},
    // a held normal-mode note ends where frequency mode starts
    {"C4&R4@K4D4", "t=0 NOTE[60,252] ch0", EV_NOTE},
    {"C4&R4@K4D4", "t=250 FREQ[136,17,1] ch0 | t=373 FREQ[136,17,0] ch0", EV_FREQ_NOTE},
    {"C4&R4@K4D4C4", "t=0 NOTE[60,252] ch0", EV_NOTE},
};
// clang-format on

TEST(SequenceStepTest, Ma1Commands) { ExpectEvents(kFormatMa1, kMa1Cases, std::size(kMa1Cases)); }

TEST(SequenceStepTest, Ma2Controls) {
  ExpectEvents(kFormatMa2, kMa2ControlCases, std::size(kMa2ControlCases));
}

TEST(SequenceStepTest, Pitches) { ExpectEvents(kFormatMa2, kPitchCases, std::size(kPitchCases)); }

TEST(SequenceStepTest, Lengths) { ExpectEvents(kFormatMa2, kLengthCases, std::size(kLengthCases)); }

TEST(SequenceStepTest, SlursAndTiesInNormalMode) {
  ExpectEvents(kFormatMa1, kSlurCases, std::size(kSlurCases));
  ExpectEvents(kFormatMa2, kSlurCases, std::size(kSlurCases));
}

TEST(SequenceStepTest, FrequencyMode) {
  ExpectEvents(kFormatMa2, kFrequencyCases, std::size(kFrequencyCases));
}

TEST(SequenceStepTest, OptionAReversesTheOctaveMarks) {
  seqtest::Compiled r = CompileSlots(kFormatMa1, {{0, "<C>>C", ""}},
                                     [](PartCompiler& mc) { mc.score.voices.optionA = 0; });
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(Dump(r.Track(0), EV_NOTE), "t=0 NOTE[72,123] ch0 | t=125 NOTE[48,123] ch0");
}

TEST(SequenceStepTest, FourOperatorPartsSelectBankOne) {
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{0, "C@5C", ""}},
                                     [](PartCompiler& mc) { mc.score.fourOpPart[0] = 1; });
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(Dump(r.Track(0), EV_VOICE), "t=0 VOICE[0,1] ch0 | t=125 VOICE[5,1] ch0");
  EXPECT_EQ(r.mc->tracks.usedVoices, (std::vector<int>{256, 261}));
  EXPECT_EQ(r.mc->tracks.channelVoice[0], 5);
}

TEST(SequenceStepTest, RhythmPartKeepsItsVoice) {
  // Slot 9 is track 2, channel 1.
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{9, "N10@5C", "2"}},
                                     [](PartCompiler& mc) { mc.score.rhythmPart = 1; });
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(Dump(r.Track(2)), "t=0 VOL[96] ch1 | t=0 NOTE[60,123] ch1 | t=125 END ch1");
  EXPECT_TRUE(r.mc->tracks.usedVoices.empty());
}

TEST(SequenceStepTest, Ma1KeepsTheCompassOfEachChannel) {
  seqtest::Compiled r = CompileSlots(kFormatMa1, {{0, "O3CO6GO4E", ""}, {1, "R", ""}});
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(r.mc->tracks.noteLow[0], 48);
  EXPECT_EQ(r.mc->tracks.noteHigh[0], 91);
  EXPECT_EQ(r.mc->tracks.noteLow[1], 108);  // a rest plays no note
  EXPECT_EQ(r.mc->tracks.noteHigh[1], 0);
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(SequenceStepTest, HugeValuesNeitherWrapNorOverflow) {
  // Octaves far beyond any use fail the range check instead of wrapping into it; lengths
  // and times far beyond any use compile (at T1 a "%2147483647" is about 6.7e15 fine units).
  struct HugeCase {
    std::string text;
    bool ok;
  };
  const HugeCase cases[] = {
      {"O2147483647>C", false},
      {"O-2147483647<<C", false},
      {"T1C" + Repeat("^%2147483647", 1500), true},
      {"T1" + Repeat("C%2147483647^%2147483647", 1100), true},
  };
  for (const HugeCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    seqtest::Compiled r = CompileOne(kFormatMa2, c.text);
    EXPECT_EQ(r.ok, c.ok) << r.Message();
  }
}

// ---- Portamento chains ----------------------------------------------------------------------

TEST(SequenceStepTest, Ma2GlideSoundsAsOneLegatoChain) {
  // (CE)4 at T120 becomes C*6& + 14 x @K~4C*8& + @K0E*6 with 9984 fine units carried.
  seqtest::Compiled r = CompileOne(kFormatMa2, "(CE)4D");
  ASSERT_TRUE(r.ok) << r.Message();
  std::string freq = Dump(r.Track(0), EV_FREQ_NOTE);
  // The carry goes to the first note of the chain: the second starts at 6.9984 ticks.
  EXPECT_EQ(freq.substr(0, freq.find(" | t=15")), "t=0 FREQ[177,14,1] ch0 | t=7 FREQ[93,17,2] ch0");
  EXPECT_EQ(freq.substr(freq.find("t=111")),
            "t=111 FREQ[166,17,2] ch0 | t=119 FREQ[178,17,2] ch0 | t=123 FREQ[178,17,0] ch0");
  EXPECT_EQ(r.Track(0).size(), 2u + 17u + 1u + 1u);  // defaults, chain, D, end
  // The chain lasts exactly the group length: D starts on the quarter.
  EXPECT_EQ(Dump(r.Track(0), EV_NOTE), "t=125 NOTE[62,123] ch0");
  EXPECT_EQ(r.mc->slots[0].carryLength, 0);
}

// clang-format off
const EventCase kChromaticGlideCases[] = {
    // C*31&K~1C*31&K~1C*31&K0E*31, the first note 9984 fine units longer
    {"(CE)4D", "t=0 NOTE[60,34] ch0 | t=32 NOTE[61,33] ch0 | t=63 NOTE[62,33] ch0 | "
               "t=94 NOTE[64,29] ch0 | t=125 NOTE[62,123] ch0", EV_NOTE},
    {"(EC)4", "t=0 NOTE[64,34] ch0 | t=32 NOTE[63,33] ch0 | t=63 NOTE[62,33] ch0 | "
              "t=94 NOTE[60,29] ch0", EV_NOTE},
    // the same note twice: one note of whole ticks, the sub-tick rest dropped
    {"(CC)4", "t=0 NOTE[60,122] ch0", EV_NOTE},
};
// clang-format on

TEST(SequenceStepTest, Ma1GlideIsAChromaticRun) {
  ExpectEvents(kFormatMa1, kChromaticGlideCases, std::size(kChromaticGlideCases));
}

TEST(SequenceStepTest, SemitoneGlideStaysInNormalMode) {
  seqtest::Compiled r = CompileOne(kFormatMa2, "(C_E)4");
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(Dump(r.Track(0), EV_FREQ_NOTE), "");
  EXPECT_EQ(Dump(r.Track(0), EV_NOTE),
            "t=0 NOTE[60,34] ch0 | t=32 NOTE[61,33] ch0 | t=63 NOTE[62,33] ch0 | "
            "t=94 NOTE[64,29] ch0");
}

TEST(SequenceStepTest, ASlurIntoAGlideStartsTheLegatoEarlier) {
  seqtest::Compiled r = CompileOne(kFormatMa2, "C&(CE)4");
  ASSERT_TRUE(r.ok) << r.Message();
  std::string freq = Dump(r.Track(0), EV_FREQ_NOTE);
  EXPECT_EQ(freq.substr(0, freq.find(" | t=132")),
            "t=0 FREQ[177,14,1] ch0 | t=125 FREQ[177,14,2] ch0");
  EXPECT_EQ(Dump(r.Track(0), EV_NOTE), "");
}

// ---- Messages -------------------------------------------------------------------------------

struct MessageCase {
  const char* text;
  const char* message;  // UTF-8
};

// clang-format off
const MessageCase kCommandMessages[] = {
    {"TC", "1パート 'T'に値が設定されていません。"},
    {"T0C", "1パート 'T'に 0 は設定できません。"},
    {"LC", "1パート 'L'に値が設定されていません。"},
    {"L0C", "1パート 'L'に 0 は設定できません。"},
    {"L4.C", "1パート '.'の使い方が正しくありません。"},
    {"OC", "1パート 'O'に値が設定されていません。"},
    {"O-C", "1パート 'O'に値が設定されていません。"},
    {"V16C", "1パート 'V'には 0～15 を設定してください。"},
    {"VC", "1パート 'V'には 0～15 を設定してください。"},
    {"@V128C", "1パート '@V'には 0～127 を設定してください。"},
    {"@VC", "1パート '@V'には 0～127 を設定してください。"},
    {"@V~0C", "1パート '@V~'には 1～126 を設定してください。"},
    {"@V~127C", "1パート '@V~'には 1～126 を設定してください。"},
    {"@V_127C", "1パート '@V_'には 1～126 を設定してください。"},
    {"P0C", "1パート 'P'には 1～3 を設定してください。"},
    {"P4C", "1パート 'P'には 1～3 を設定してください。"},
    {"@P128C", "1パート '@P'には 0～127 を設定してください。"},
    {"X0C", "1パート 'X'には 1～15 を設定してください。"},
    {"X16C", "1パート 'X'には 1～15 を設定してください。"},
    {"@X128C", "1パート '@X'には 0～127 を設定してください。"},
    {"@MC", "1パート '@M'には 0～127 を設定してください。"},
    {"@M128C", "1パート '@M'には 0～127 を設定してください。"},
    {"Q0C", "1パート 'Q'には 1～8 を設定してください。"},
    {"Q9C", "1パート 'Q'には 1～8 を設定してください。"},
    {"K128C", "1パート 'K'には -127～127 を設定してください。"},
    {"K-128C", "1パート 'K'には -127～127 を設定してください。"},
    {"KC", "1パート 'K'には -127～127 を設定してください。"},
    {"K~0C", "1パート 'K~'には 1～127 を設定してください。"},
    {"K~C", "1パート 'K~'には 1～127 を設定してください。"},
    {"K_128C", "1パート 'K_'には 1～127 を設定してください。"},
    {"@K513C", "1パート '@K'には -512～512 を設定してください。"},
    {"@K-513C", "1パート '@K'には -512～512 を設定してください。"},
    {"@K~513C", "1パート '@K~'には 1～512 を設定してください。"},
    {"@K_0C", "1パート '@K_'には 1～512 を設定してください。"},
    {"@O3C", "1パート '@O'には 2か4を設定してください。"},
    {"@OC", "1パート '@O'には 2か4を設定してください。"},
    {"N9C", "1パート 'N'には 10を設定してください。"},
    {"@ZC", "1パート '@Z'は使用できません。"},
    {"C@", "1パート '@'は使用できません。"},
    {"}C", "1パート '}'に対応する'{'がありません。"},
    {")C", "1パート ')'に対応する'('がありません。"},
    {"#C", "1パート '#'の使い方が正しくありません。"},
    {"%C", "1パート '%'の使い方が正しくありません。"},
    {"*C", "1パート '*'の使い方が正しくありません。"},
    {"+C", "1パート '+'の使い方が正しくありません。"},
    {"C4+", "1パート '+'の使い方が正しくありません。"},
    {"C4-", "1パート '-'の使い方が正しくありません。"},
    {".C", "1パート '.'の使い方が正しくありません。"},
    {"^C", "1パート '^'の使い方が正しくありません。"},
    {"HC", "1パート 'H'は使用できません。"},
    {"1C", "1パート '1'は使用できません。"},
    {"C4~", "1パート '~'は使用できません。"},
    // notes
    {"O9C", "1パート 'C'は発音可能音域を上まわっています。"},
    {"O8C#", "1パート 'C#'は発音可能音域を上まわっています。"},
    {"O0C", "1パート 'C'は発音可能音域を下まわっています。"},
    {"O0C-+", "1パート 'C-+'は発音可能音域を下まわっています。"},
    {"@K-16O0C#", "1パート 'C#'は発音可能音域を下まわっています。"},
    // the pitch lies below the lowest block: note 13 with a fraction of 1/16 left
    {"@K-15O0C#", "1パート 'C#'は発音可能音域を下まわっています。"},
    // lengths of notes, rests and ties
    {"C*", "1パート 絶対音長(*)指定では省略できません。"},
    {"C*0", "1パート 絶対音長(*)に 0 は設定できません。"},
    {"C%", "1パート 絶対音長(%)指定では省略できません。"},
    {"C%0", "1パート 絶対音長(%)に 0 は設定できません。"},
    {"C0", "1パート 音長に 0 は設定できません。"},
    {"R0", "1パート 音長に 0 は設定できません。"},
    {"C4^0", "1パート 音長に 0 は設定できません。"},
    {"R4^*", "1パート 絶対音長(*)指定では省略できません。"},
};

const MessageCase kMa1Messages[] = {
    {"@128C", "1パート '@'には 0～127 を指定してください。"},
    {"@152C", "1パート '@'には 0～127 を指定してください。"},
    {"O2C", "1パート 'C'は発音可能音域を下まわっています。"},
    {"O8C#", "1パート 'C#'は発音可能音域を上まわっています。"},
    // checked although MA1 ignores them
    {"@K513C", "1パート '@K'には -512～512 を設定してください。"},
    {"P4C", "1パート 'P'には 1～3 を設定してください。"},
    {"V5V16C", "1パート 'V'には 0～15 を設定してください。"},
};

const MessageCase kMa2VoiceMessages[] = {
    {"@128C", "1パート '@'には 0～127、152～212 を指定してください。"},
    {"@151C", "1パート '@'には 0～127、152～212 を指定してください。"},
    {"@213C", "1パート '@'には 0～127、152～212 を指定してください。"},
};
// clang-format on

void ExpectMessages(int format, const MessageCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(cases[i].text);
    seqtest::Compiled r = CompileOne(format, cases[i].text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.mc->fault.message, Sjis(cases[i].message)) << r.Message();
  }
}

TEST(SequenceStepTest, CommandAndNoteMessages) {
  ExpectMessages(kFormatMa2, kCommandMessages, std::size(kCommandMessages));
}

TEST(SequenceStepTest, Ma1Messages) {
  ExpectMessages(kFormatMa1, kMa1Messages, std::size(kMa1Messages));
}

TEST(SequenceStepTest, Ma2VoiceMessages) {
  ExpectMessages(kFormatMa2, kMa2VoiceMessages, std::size(kMa2VoiceMessages));
}

TEST(SequenceStepTest, MessagesNameThePartAsWritten) {
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{1, "V16", "12"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.mc->fault.message, Sjis("12パート 'V'には 0～15 を設定してください。"));
}

TEST(SequenceStepTest, AnUnusableByteIsQuotedAsItStands) {
  // The lead byte of a double-byte character is quoted alone, as the byte the step met.
  seqtest::Compiled r = CompileOne(kFormatMa2, "\x82\xA0");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(HexDump(r.mc->fault.message),
            HexDump("1" + Sjis("パート '") + "\x82" + Sjis("'は使用できません。")));
}

}  // namespace
