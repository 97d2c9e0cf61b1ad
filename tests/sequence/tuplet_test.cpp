// Tuplet groups of a sequence part: the members share the group length equally. {CDE}4 at T120
// gives each member 1249984 / 3 = 416661 fine units (the remainder 1 is dropped).

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

using seqtest::CompileOne;
using seqtest::Dump;

struct TupletCase {
  const char* text;
  int only;  // 0: every event
  const char* events;
};

// clang-format off
const TupletCase kTupletCases[] = {
    {"{CDE}4", 0,
     "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=0 NOTE[60,40] ch0 | t=42 NOTE[62,40] ch0 | "
     "t=83 NOTE[64,40] ch0 | t=125 END ch0"},
    // without a length the group lasts the default length
    {"{CDE}", EV_NOTE, "t=0 NOTE[60,40] ch0 | t=42 NOTE[62,40] ch0 | t=83 NOTE[64,40] ch0"},
    {"L8{CD}C", EV_NOTE, "t=0 NOTE[60,29] ch0 | t=31 NOTE[62,29] ch0 | t=62 NOTE[60,60] ch0"},
    // dots and ties on the group length
    {"{CDE}4.", EV_NOTE, "t=0 NOTE[60,60] ch0 | t=62 NOTE[62,60] ch0 | t=125 NOTE[64,60] ch0"},
    {"{CDE}4^8", EV_NOTE, "t=0 NOTE[60,60] ch0 | t=62 NOTE[62,60] ch0 | t=125 NOTE[64,60] ch0"},
    {"{CD}*100", EV_END_OF_TRACK, "t=100 END ch0"},
    {"{CD}%96C", EV_NOTE, "t=0 NOTE[60,123] ch0 | t=125 NOTE[62,123] ch0 | t=250 NOTE[60,123] ch0"},
    // the group length takes the tempo in force where the group opens
    {"T60{CD}4", EV_NOTE, "t=0 NOTE[60,123] ch0 | t=125 NOTE[62,123] ch0"},
    // rests, slurs, accidentals, octave marks and controls between the members
    {"{CRE}4", EV_NOTE, "t=0 NOTE[60,40] ch0 | t=83 NOTE[64,40] ch0"},
    {"{C&DE}4", EV_NOTE, "t=0 NOTE[60,44] ch0 | t=42 NOTE[62,40] ch0 | t=83 NOTE[64,40] ch0"},
    {"{C#<D->E}4", EV_NOTE, "t=0 NOTE[61,40] ch0 | t=42 NOTE[49,40] ch0 | t=83 NOTE[64,40] ch0"},
    {"{CV10D}4", EV_VOLUME, "t=0 VOL[96] ch0 | t=62 VOL[87] ch0"},
    {"{C@V~DO5@K-0E@M3@O2@P5@X5@1FK+2Q4P2X3G}2", EV_NOTE,
     "t=0 NOTE[60,48] ch0 | t=50 NOTE[62,48] ch0 | t=100 NOTE[76,48] ch0 | "
     "t=150 NOTE[77,48] ch0 | t=200 NOTE[81,23] ch0"},
    // after the group the default length holds again
    {"{CDE}4C", EV_NOTE,
     "t=0 NOTE[60,40] ch0 | t=42 NOTE[62,40] ch0 | t=83 NOTE[64,40] ch0 | t=125 NOTE[60,123] ch0"},
    {"{CD}4{EFG}4", EV_NOTE,
     "t=0 NOTE[60,60] ch0 | t=62 NOTE[62,60] ch0 | t=125 NOTE[64,40] ch0 | "
     "t=167 NOTE[65,40] ch0 | t=208 NOTE[67,40] ch0"},
};
// clang-format on

TEST(TupletTest, MembersShareTheGroupLength) {
  for (const TupletCase& c : kTupletCases) {
    SCOPED_TRACE(c.text);
    seqtest::Compiled r = CompileOne(kFormatMa2, c.text);
    ASSERT_TRUE(r.ok) << r.Message();
    EXPECT_EQ(Dump(r.Track(0), c.only), c.events);
  }
}

TEST(TupletTest, StoresTheNegatedMemberLength) {
  seqtest::TestCompiler mc;
  mc.score.partName[0] = "1";
  ASSERT_TRUE(mc.BeginTuplet(0, "{CDE}4", 1));
  EXPECT_EQ(mc.slots[0].tupletNoteLength, -416661);
  EXPECT_EQ(mc.slots[0].tupletOpen, 0);  // the step opens the group once this succeeded
}

struct TupletMessageCase {
  const char* text;
  const char* message;  // UTF-8
};

// clang-format off
const TupletMessageCase kTupletMessages[] = {
    // the group
    {"{}4", "1パート '{}' 連符内に音符がありません。"},
    {"{V5}4", "1パート '{}' 連符内に音符がありません。"},
    {"{CDE", "1パート '{'に対応する'}'がありません。"},
    {"{CDK", "1パート '{'に対応する'}'がありません。"},
    {"{C{D}}4", "1パート '{' 連符をネストすることは出来ません。"},
    {"{CDE}4}", "1パート '}'に対応する'{'がありません。"},
    // commands a group may not hold
    {"{C(DE)4}4", "1パート 連符中に'('は使用できません。"},
    {"{C)D}4", "1パート 連符中に')'は使用できません。"},
    {"{CL8D}4", "1パート 連符中に'L'は使用できません。"},
    {"{CT120D}4", "1パート 連符中に'T'は使用できません。"},
    // members with a length, a dot or a tie
    {"{C8D}4", "1パート '8' 連符中の音符には音長を指定することは出来ません。"},
    {"{C#8}4", "1パート '#' 連符中の音符には音長を指定することは出来ません。"},
    {"{CR4}4", "1パート 'R' 連符中の音符には音長を指定することは出来ません。"},
    {"{C.D}4", "1パート 連符中の音符に '.' を使用することは出来ません。"},
    {"{C^D}4", "1パート 連符中の音符に '^' を使用することは出来ません。"},
    // bytes of no command
    {"{C##D}4", "1パート '#'は使用できません。"},
    {"{CK~2D}4", "1パート '~'は使用できません。"},
    {"{C*D}4", "1パート '*'は使用できません。"},
    {"{C%D}4", "1パート '%'は使用できません。"},
    {"{CN10D}4", "1パート 'N'は使用できません。"},
    {"{C1D}4", "1パート '1' 連符中の音符には音長を指定することは出来ません。"},
    {"{CV1D}4H", "1パート 'H'は使用できません。"},
    {"{C@ZD}4", "1パート '@Z'は使用できません。"},
    {"{C@", "1パート '@'は使用できません。"},
    // the group length
    {"{CDE}0", "1パート 音長に 0 は設定できません。"},
    {"{CDE}*", "1パート 絶対音長(*)指定では省略できません。"},
    {"{CDE}*0", "1パート 絶対音長(*)に 0 は設定できません。"},
    {"{CDE}%", "1パート 絶対音長(%)指定では省略できません。"},
    {"{CDE}%0", "1パート 絶対音長(%)に 0 は設定できません。"},
    {"{CDE}4^0", "1パート 音長に 0 は設定できません。"},
    // the group passes, its commands are then checked by the step
    {"{CV+5D}4", "1パート 'V'には 0～15 を設定してください。"},
};
// clang-format on

TEST(TupletTest, Messages) {
  for (const TupletMessageCase& c : kTupletMessages) {
    SCOPED_TRACE(c.text);
    seqtest::Compiled r = CompileOne(kFormatMa2, c.text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.mc->fault.message, Sjis(c.message)) << r.Message();
  }
}

}  // namespace
