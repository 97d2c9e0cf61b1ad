#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

// Scans the group of `text`, which starts with "{", at tempo 120 and the default length "L4".
bool Scan(PartCompiler& c, const std::string& text) { return c.ScanAdpcmTuplet(text, 1); }

struct LengthCase {
  const char* text;
  int64_t noteLength;  // fine units, as the step uses it
};

const LengthCase kLengthCases[] = {
    // the group length is shared equally; the remainder is dropped
    {"{ABC}4", 416661},
    {"{AR}2", 1249984},
    {"{AB}", 624992},  // the default length
    {"{AB}4.", 937488},
    {"{AB}4^8", 937488},
    {"{AB}*100", 500000},
    {"{AB}%48", 624992},
    {"{AB}%1", 13020},  // trunc((1280000 x 1/192) x 3.9062) / 2
    // commands between the notes do not count
    {"{A&BQ4V+10@V~3@V_@V7R}8", 208330},
    {"{AV}4", 1249984},
    // the scan stops at the first "}"
    {"{A}4{", 1249984},
};

TEST(AdpcmTupletTest, StoresTheNegatedNoteLength) {
  for (const LengthCase& lc : kLengthCases) {
    SCOPED_TRACE(lc.text);
    seqtest::TestCompiler c;
    ASSERT_TRUE(Scan(c, lc.text)) << SjisToUtf8(c.fault.message);
    EXPECT_EQ(c.slots[kAdpcmSlot].tupletNoteLength, -lc.noteLength);
    EXPECT_EQ(c.slots[kAdpcmSlot].tupletOpen, 0);  // the caller opens the tuplet
  }
}

TEST(AdpcmTupletTest, UsesTheTempoAndDefaultLengthInForce) {
  seqtest::TestCompiler c;
  c.tempoFactor = 78125;  // tempo 60
  c.slots[kAdpcmSlot].defaultLength = 160000;
  ASSERT_TRUE(Scan(c, "{AB}"));
  EXPECT_EQ(c.slots[kAdpcmSlot].tupletNoteLength, -625000);
}

struct MessageCase {
  const char* text;
  const char* message;  // UTF-8
};

const MessageCase kMessageCases[] = {
    // members
    {"{A4B}8", "Aパート 'A' 連符中の音符には音長を指定することは出来ません。"},
    {"{AR8}4", "Aパート 'R' 連符中の音符には音長を指定することは出来ません。"},
    {"{A*4B}4", "Aパート '*'は使用できません。"},
    {"{A%4B}4", "Aパート '%'は使用できません。"},
    {"{A-B}4", "Aパート '-'は使用できません。"},
    {"{AKB}4", "Aパート 'K'は使用できません。"},
    {"{A.B}4", "Aパート 連符中の音符に'.'を使用することは出来ません。"},
    {"{A^B}4", "Aパート 連符中の音符に'^'を使用することは出来ません。"},
    {"{AL8B}4", "Aパート 連符中に'L'は使用できません。"},
    {"{AT60B}4", "Aパート 連符中に'T'は使用できません。"},
    {"{A@1B}4", "Aパート '@'は使用できません。"},
    {"{A@KB}4", "Aパート '@K'は使用できません。"},
    {"{A@", "Aパート '@'は使用できません。"},
    {"{A{B}}4", "Aパート '{' 連符をネストすることは出来ません。"},
    // the group
    {"{}4", "Aパート '{}' 連符内に音符がありません。"},
    {"{Q4V10}4", "Aパート '{}' 連符内に音符がありません。"},
    {"{AB", "Aパート '{'に対応する'}'がありません。"},
    {"{", "Aパート '{'に対応する'}'がありません。"},
    {"{AV", "Aパート '{'に対応する'}'がありません。"},
    // the group length names the "}"; a value after "^" does not
    {"{AB}0", "Aパート '}' 音長に 0 は設定できません。"},
    {"{AB}*", "Aパート '}' 絶対音長(*)指定では省略できません。"},
    {"{AB}*0", "Aパート '}' 絶対音長(*)に 0 は設定できません。"},
    {"{AB}%", "Aパート '}' 絶対音長(%)指定では省略できません。"},
    {"{AB}%0", "Aパート '}' 絶対音長(%)に 0 は設定できません。"},
    {"{AB}4^0", "Aパート 音長に 0 は設定できません。"},
    {"{AB}4^*", "Aパート 絶対音長(*)指定では省略できません。"},
    {"{AB}4^*0", "Aパート 絶対音長(*)に 0 は設定できません。"},
    {"{AB}4^%", "Aパート 絶対音長(%)指定では省略できません。"},
    {"{AB}4.^%0", "Aパート 絶対音長(%)に 0 は設定できません。"},
};

TEST(AdpcmTupletTest, ReportsEveryFault) {
  for (const MessageCase& mc : kMessageCases) {
    SCOPED_TRACE(mc.text);
    seqtest::TestCompiler c;
    EXPECT_FALSE(Scan(c, mc.text));
    EXPECT_EQ(c.fault.message, Sjis(mc.message)) << SjisToUtf8(c.fault.message);
    EXPECT_EQ(c.slots[kAdpcmSlot].tupletNoteLength, 0);
  }
}

}  // namespace
