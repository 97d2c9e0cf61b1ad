#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

constexpr int64_t kQuarter = 1249984;  // a quarter note at tempo 120, fine units

// An MA2 compiler whose A part is `text`, with waves A, C and J registered.
seqtest::TestCompiler AdpcmPart(const std::string& text) {
  seqtest::TestCompiler c(kFormatMa2);
  c.score.waves.fileName[0] = "kick.wav";
  c.score.waves.fileName[2] = "snare.wav";
  c.score.waves.fileName[9] = "last.wav";
  c.score.adpcmText = text;
  return c;
}

// Runs the A part's steps to its end, as the scheduler does for slot 16 alone.
bool RunPart(PartCompiler& c, int64_t& time) {
  size_t cursor = 0;
  time = 0;
  while (cursor < c.score.adpcmText.size()) {
    if (!c.CompileAdpcmStep(c.score.adpcmText, cursor, time)) {
      return false;
    }
  }
  return true;
}

// "tick:kind params" per event, in track order: "0:V96 0:W1,123".
std::string Dump(const EventList& list) {
  EventList events = list;
  events.Sort();
  std::string out;
  for (const SeqEvent& e : events) {
    if (!out.empty()) {
      out += ' ';
    }
    out += std::to_string(e.time) + ':' + (e.type == EV_VOLUME ? "V" : "W");
    for (size_t i = 0; i < e.params.size(); ++i) {
      out += (i ? "," : "") + std::to_string(e.params[i]);
    }
  }
  return out;
}

struct EventCase {
  const char* text;
  const char* events;
  int64_t endTime;
};

const EventCase kEventCases[] = {
    // notes and rests: default volume before the first wave; gate = ticks x Q/8 - 2
    {"A4", "0:V96 0:W1,123", kQuarter},
    {"R4", "", kQuarter},
    {"R4C", "0:V96 125:W3,123", 2 * kQuarter},
    {"J4", "0:V96 0:W10,123", kQuarter},
    {"Q4A4", "0:V96 0:W1,60", kQuarter},
    {"L8A", "0:V96 0:W1,60", 624992},
    {"A*10", "0:V96 0:W1,8", 100000},
    // lengths with dots and ties
    {"A4.", "0:V96 0:W1,185", kQuarter + 624992},
    {"A4..", "0:V96 0:W1,217", kQuarter + 624992 + 312496},
    {"A4^8", "0:V96 0:W1,185", kQuarter + 624992},
    // volume commands
    {"V0A", "0:V0 0:W1,123", kQuarter},
    {"V1A", "0:V15 0:W1,123", kQuarter},
    {"V15A", "0:V127 0:W1,123", kQuarter},
    {"@V100@V~A", "0:V100 0:V101 0:W1,123", kQuarter},
    {"@V_A", "0:V0 0:W1,123", kQuarter},
    {"@V~126A", "0:V125 0:W1,123", kQuarter},  // a volume never set counts as -1
    {"@V120@V~20A", "0:V120 0:V127 0:W1,123", kQuarter},
    {"A4V3", "0:V96 0:W1,123 125:V31", kQuarter},
    // ties: the tied letter becomes a rest; only one note is joined
    {"A4&A4", "0:V96 0:W1,248", 2 * kQuarter},
    {"A4&A4&A4", "0:V96 0:W1,248 250:W1,123", 3 * kQuarter},
    {"A4&R4", "0:V96 0:W1,123", 2 * kQuarter},
    {"A4V10&A4", "0:V96 0:W1,248 125:V87", 2 * kQuarter},
    {"A4@V5C4", "0:V96 0:W1,123 125:V5 125:W3,123", 2 * kQuarter},
    // a tempo change read ahead lengthens the tied note only
    {"A4&T60A4", "0:V96 0:W1,373", 2 * kQuarter},
    // tuplets
    {"{ACA}4", "0:V96 0:W1,40 42:W3,40 83:W1,40", 3 * 416661},
    {"{AR}2", "0:V96 0:W1,123", 2 * kQuarter},
    {"{A&A}4", "0:V96 0:W1,123", kQuarter},
    {"{AC}*100", "0:V96 0:W1,48 50:W3,48", 1000000},
    {"{AC}4.A", "0:V96 0:W1,92 94:W3,92 187:W1,123", 2 * 937488 + kQuarter},
    {"{AC}%48", "0:V96 0:W1,60 62:W3,60", 2 * 624992},
    {"{AQ4V10@V~5&A}4", "0:V96 0:W1,123 62:V87 62:V92", kQuarter},
};

TEST(AdpcmStepTest, CompilesNotesRestsAndCommands) {
  for (const EventCase& ec : kEventCases) {
    SCOPED_TRACE(ec.text);
    seqtest::TestCompiler c = AdpcmPart(ec.text);
    int64_t time = 0;
    ASSERT_TRUE(RunPart(c, time)) << SjisToUtf8(c.fault.message);
    EXPECT_EQ(Dump(c.tracks.adpcmEvents), ec.events);
    EXPECT_EQ(time, ec.endTime);
    EXPECT_EQ(c.tracks.partUsed[kAdpcmSlot], 1);
    EXPECT_EQ(c.tempoFactor, 39062);
  }
}

TEST(AdpcmStepTest, MarksOnlyThePlayedWaves) {
  seqtest::TestCompiler c = AdpcmPart("C4R4");
  int64_t time = 0;
  ASSERT_TRUE(RunPart(c, time));
  EXPECT_EQ(c.tracks.waveUsed[0], 0);
  EXPECT_EQ(c.tracks.waveUsed[2], 1);
}

TEST(AdpcmStepTest, CommandsWithoutANoteLeaveThePartUnused) {
  seqtest::TestCompiler c = AdpcmPart("V10Q4");
  int64_t time = 0;
  ASSERT_TRUE(RunPart(c, time));
  EXPECT_EQ(c.tracks.partUsed[kAdpcmSlot], 0);
  EXPECT_EQ(Dump(c.tracks.adpcmEvents), "0:V87");
}

TEST(AdpcmStepTest, OneStepEndsAfterOneNote) {
  seqtest::TestCompiler c = AdpcmPart("V2A4C8");
  size_t cursor = 0;
  int64_t time = 0;
  ASSERT_TRUE(c.CompileAdpcmStep(c.score.adpcmText, cursor, time));
  EXPECT_EQ(cursor, 4u);
  EXPECT_EQ(time, kQuarter);
}

TEST(AdpcmStepTest, ATieTurnsTheTiedLetterIntoARest) {
  seqtest::TestCompiler c = AdpcmPart("A4&A8");
  size_t cursor = 0;
  int64_t time = 0;
  ASSERT_TRUE(c.CompileAdpcmStep(c.score.adpcmText, cursor, time));
  EXPECT_EQ(c.score.adpcmText, "A4&R8");
  EXPECT_EQ(cursor, 3u);  // past the "&"
}

TEST(AdpcmStepTest, TheLookAheadRestoresThePartState) {
  seqtest::TestCompiler c = AdpcmPart("A4&L8Q2T60{AC}4@V9A");
  int64_t extra = 0;
  ASSERT_TRUE(c.AdpcmTieLookAhead(c.score.adpcmText, 2, 1, extra)) << SjisToUtf8(c.fault.message);
  EXPECT_EQ(extra, 1250000);  // half of a quarter at tempo 60, inside the group
  EXPECT_EQ(c.slots[kAdpcmSlot].defaultLength, 320000);
  EXPECT_EQ(c.slots[kAdpcmSlot].gate, 8);
  EXPECT_EQ(c.tempoFactor, 39062);
  EXPECT_EQ(c.slots[kAdpcmSlot].tupletOpen, 0);
  EXPECT_EQ(c.slots[kAdpcmSlot].tupletNoteLength, 0);
  EXPECT_EQ(c.slots[kAdpcmSlot].channelVolume, -1);
  EXPECT_TRUE(c.tracks.adpcmEvents.empty());
}

TEST(AdpcmStepTest, GateOfAVeryLongNoteDoesNotWrap) {
  seqtest::TestCompiler c = AdpcmPart("A*300000");
  int64_t time = 0;
  ASSERT_TRUE(RunPart(c, time));
  EXPECT_EQ(Dump(c.tracks.adpcmEvents), "0:V96 0:W1,299998");
  // A gate beyond 32 bits is kept exact, so the writer clamps the true value and keeps it long.
  seqtest::TestCompiler huge = AdpcmPart("A*2147483647^*2147483647");
  ASSERT_TRUE(RunPart(huge, time));
  EXPECT_EQ(Dump(huge.tracks.adpcmEvents), "0:V96 0:W1,4294967292");
}

// Absurdly long parts: the part time is held at 2^62 fine units, as for the sequence parts,
// instead of overflowing.
TEST(AdpcmStepTest, TheTimeOfAnEndlessPartStopsAtTheLimit) {
  std::string rest = "R%2147483647";  // each rest reaches the longest length a note can have
  for (int i = 0; i < 170; ++i) {
    rest += "^%2147483647";
  }
  std::string text;
  for (int i = 0; i < 1100; ++i) {
    text += rest;
  }
  seqtest::TestCompiler c = AdpcmPart(text + "A");
  int64_t time = 0;
  ASSERT_TRUE(RunPart(c, time));
  EXPECT_EQ(time, int64_t{1} << 62);
}

struct MessageCase {
  const char* text;
  const char* message;  // UTF-8
};

const MessageCase kMessageCases[] = {
    // waves
    {"B4", "Aパート 'B'にはADPCMファイルが登録されていません。"},
    {"A-4", "Aパート '-'は使用できません。"},
    {"C+", "Aパート '+'は使用できません。"},
    {"A#", "Aパート '#'は使用できません。"},
    {"A4&B4", "Aパート '&' このパートではスラーとして使用できません。"},
    {"A4&C4", "Aパート '&' このパートではスラーとして使用できません。"},
    {"A4&A-4", "Aパート '-'は使用できません。"},
    // bytes that are no command here
    {"O4A", "Aパート 'O'は使用できません。"},
    {"#A", "Aパート '#'は使用できません。"},
    {"K1A", "Aパート 'K'は使用できません。"},
    {"(A)", "Aパート '('は使用できません。"},
    {"@1A", "Aパート '@'は使用できません。"},
    {"@KA", "Aパート '@K'は使用できません。"},
    {"A@", "Aパート '@'は使用できません。"},
    {".4", "Aパート '.'の使い方が正しくありません。"},
    {"%4", "Aパート '%'の使い方が正しくありません。"},
    {"*4", "Aパート '*'の使い方が正しくありません。"},
    {"^4", "Aパート '^'の使い方が正しくありません。"},
    // command values
    {"L", "Aパート 'L'に値が設定されていません。"},
    {"L0", "Aパート 'L'に 0 は設定できません。"},
    {"Q", "Aパート 'Q'には 1～8 を設定してください。"},
    {"Q0", "Aパート 'Q'には 1～8 を設定してください。"},
    {"Q9", "Aパート 'Q'には 1～8 を設定してください。"},
    {"T", "Aパート 'T'に値が設定されていません。"},
    {"T0", "Aパート 'T'に 0 は設定できません。"},
    {"V16", "Aパート 'V'には 0～15 を設定してください。"},
    {"V", "Aパート 'V'には 0～15 を設定してください。"},
    {"@V128", "Aパート '@V'には 0～127 を設定してください。"},
    {"@V", "Aパート '@V'には 0～127 を設定してください。"},
    {"@V~0", "Aパート '@V~'には 1～126 を設定してください。"},
    {"@V_127", "Aパート '@V_'には 1～126 を設定してください。"},
    // lengths
    {"A*", "Aパート 絶対音長(*)指定では省略できません。"},
    {"A*0", "Aパート 絶対音長(*)に 0 は設定できません。"},
    {"A%", "Aパート 絶対音長(%)指定では省略できません。"},
    {"R%0", "Aパート 絶対音長(%)に 0 は設定できません。"},
    {"A0", "Aパート 音長に 0 は設定できません。"},
    {"A4^0", "Aパート 音長に 0 は設定できません。"},
    {"A4&A0", "Aパート 音長に 0 は設定できません。"},
    // tuplets
    {"}", "Aパート '}'に対応する'{'がありません。"},
    {"A4&}", "Aパート '}'に対応する'{'がありません。"},
    {"{AC", "Aパート '{'に対応する'}'がありません。"},
    {"{", "Aパート '{'に対応する'}'がありません。"},
    {"{A{C}}4", "Aパート '{' 連符をネストすることは出来ません。"},
    // errors read ahead after a note are reported by that note's step
    {"A4V16", "Aパート 'V'には 0～15 を設定してください。"},
    {"A4T0A", "Aパート 'T'に 0 は設定できません。"},
};

TEST(AdpcmStepTest, ReportsEveryFaultWithThePartPrefix) {
  for (const MessageCase& mc : kMessageCases) {
    SCOPED_TRACE(mc.text);
    seqtest::TestCompiler c = AdpcmPart(mc.text);
    int64_t time = 0;
    EXPECT_FALSE(RunPart(c, time));
    EXPECT_EQ(c.fault.message, Sjis(mc.message)) << SjisToUtf8(c.fault.message);
  }
}

TEST(AdpcmStepTest, PutsAnUnusableByteIntoTheMessageRaw) {
  seqtest::TestCompiler c = AdpcmPart("\x82\xA0");
  int64_t time = 0;
  EXPECT_FALSE(RunPart(c, time));
  EXPECT_EQ(c.fault.message, "A" + Sjis("パート '") + "\x82" + Sjis("'は使用できません。"));
  // A zero byte is left out of a message, as the end of the text is.
  const std::string zeros[] = {std::string("A\0", 2), std::string("{A\0}4", 5)};
  for (const std::string& text : zeros) {
    seqtest::TestCompiler zero = AdpcmPart(text);
    EXPECT_FALSE(RunPart(zero, time));
    EXPECT_EQ(zero.fault.message, Sjis("Aパート ''は使用できません。"));
  }
}

void RegisterWaveA(PartCompiler& c) { c.score.waves.fileName[0] = "kick.wav"; }

// Through the scheduler: the A part ends its track, and a tempo set by a sequence part before
// the first note governs the wave notes too.
TEST(AdpcmStepTest, CompilesThroughTheScheduler) {
  seqtest::Compiled alone =
      seqtest::CompileSlots(kFormatMa2, {{kAdpcmSlot, "A4", ""}}, RegisterWaveA);
  ASSERT_TRUE(alone.ok) << alone.Message();
  EXPECT_EQ(seqtest::Dump(alone.mc->tracks.adpcmEvents),
            "t=0 VOL[96] ch0 | t=0 WAVE[1,123] ch0 | t=125 END ch0");

  seqtest::Compiled tempo =
      seqtest::CompileSlots(kFormatMa2, {{0, "T60R", ""}, {kAdpcmSlot, "A4", ""}}, RegisterWaveA);
  ASSERT_TRUE(tempo.ok) << tempo.Message();
  EXPECT_EQ(seqtest::Dump(tempo.mc->tracks.adpcmEvents, EV_ADPCM_NOTE), "t=0 WAVE[1,248] ch0");

  seqtest::Compiled ma1 = seqtest::CompileSlots(kFormatMa1, {{0, "C", ""}, {kAdpcmSlot, "A4", ""}});
  ASSERT_TRUE(ma1.ok) << ma1.Message();
  EXPECT_TRUE(ma1.mc->tracks.adpcmEvents.empty());
}

}  // namespace
