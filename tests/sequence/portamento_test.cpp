#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/sjis.h"
#include "sequence/glide_chain.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"
#include "sequence/pitch_bytes.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

// `piece` written `count` times.
std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += piece;
  }
  return out;
}

// A compiler whose part 1 (slot 0) holds `text`, at tempo 120.
seqtest::TestCompiler PartOne(int format, const std::string& text) {
  seqtest::TestCompiler c(format);
  c.score.partName[0] = "1";
  c.score.partText[0] = text;
  return c;
}

// Plans the first group of part 1. Returns the chain written out as part text and the text
// after the group, which the sequence step sounds next, or "" after a failure.
std::string Rewrite(PartCompiler& c, bool* ok = nullptr) {
  std::string& text = c.score.partText[0];
  size_t cursor = text.find('(') + 1;
  int64_t time = 0;
  bool done = c.CompilePortamento(0, text, cursor, time);
  if (ok != nullptr) {
    *ok = done;
  }
  return done ? GlideChainText(c.slots[0].glide) + text.substr(cursor) : "";
}

// The group's total in fine units as the step will play it: the "*" ticks plus the carry. The
// step reads no number above 2147483647.
int64_t PlayedLength(const std::string& text, int64_t carry) {
  int64_t total = carry;
  for (size_t p = text.find('*'); p != std::string::npos; p = text.find('*', p + 1)) {
    total += std::min(std::stoll(text.substr(p + 1)), 2147483647LL) * 10000;
  }
  return total;
}

const std::string kWorkedExample = "C*6&" + Repeat("@K~4C*8&", 14) + "@K0E*6";

struct RewriteCase {
  const char* name;
  int format;
  std::string text;
  std::string rewritten;  // the text from the cursor on
  int64_t carry;
};

const RewriteCase kRewriteCases[] = {
    // MA2 glides in quarter-semitone steps
    {"worked example", kFormatMa2, "(CE)4", kWorkedExample, 9984},
    {"comma between the notes", kFormatMa2, "(C,E)4", kWorkedExample, 9984},
    {"default length", kFormatMa2, "(CE)", kWorkedExample, 9984},
    {"the text after the group stays", kFormatMa2, "V10(CE)4D8", kWorkedExample + "D8", 9984},
    {"c given: a = 40", kFormatMa2, "(CE)4,,,20",
     "C*50&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*4&@K~4C*3&"
     "@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K0E*25",
     9984},
    {"a and c given", kFormatMa2, "(CE)4,40,5,20",
     "C*50&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*4&@K~4C*3&"
     "@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K0E*25",
     9984},
    {"b and c given: a = 40", kFormatMa2, "(CE)4,,40,20",
     "C*50&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*4&@K~4C*3&"
     "@K~4C*4&@K~4C*3&@K~4C*4&@K~4C*3&@K0E*25",
     9984},
    {"falling", kFormatMa2, "(C<B-)4",
     "C*6&@K_4C*18&@K_4C*19&@K_4C*19&@K_4C*18&@K_4C*19&@K_4C*19&<@K0B-*6", 9984},
    {"steps shorter than a tick", kFormatMa2, "(CC#)*10", "C*1&@K~4C*4&@K~4C*4&@K0C#*1", 0},
    {"a one-tick glide", kFormatMa2, "(CE)*3", "C*1&@K0E*2", 0},
    // MA2 with "_", and MA1: semitone runs
    {"semitone mode", kFormatMa2, "(C_E)4", "C*31&K~1C*31&K~1C*31&K0E*31", 9984},
    {"MA1", kFormatMa1, "(CE)4", "C*31&K~1C*31&K~1C*31&K0E*31", 9984},
    {"MA1 falling 3", kFormatMa1, "(C<A)4", "C*41&K_1C*42&<K0A*41", 9984},
    {"falling 6 in steps of 2", kFormatMa2, "(C_<F#)4", "C*41&K_2C*42&<K0F#*41", 9984},
    {"falling 8 in steps of 2", kFormatMa1, "(C<E)4", "C*31&K_2C*31&K_2C*31&<K0E*31", 9984},
    {"rising 6 in steps of 3", kFormatMa1, "(CF#)4", "C*62&K0F#*62", 9984},
    // the same note twice: one note, the sub-tick rest dropped
    {"same note", kFormatMa2, "(CC)4", "C*124", 0},
    {"same note, MA1", kFormatMa1, "(C_C)4", "C*124", 0},
    {"same note with other values", kFormatMa2, "(CC)4,50,,50", "C*124", 0},
    // octave marks before, between and after the notes
    {"octave marks", kFormatMa2, "(O4C>C<)2",
     "O4C*12&" + Repeat("@K~4C*4&" + Repeat("@K~4C*5&", 8), 5) + "@K~4C*4&>@K0C*13<", 9968},
    // an octave mark between two equal notes still applies after them
    {"enharmonic equal notes", kFormatMa2, "(B+>C)4D", "B+*124>D", 0},
    // a note longer than the largest number the step reads is written as tied values
    {"same note, longer than a number", kFormatMa2, "(CC)*2147483647^*2147483647",
     "C*2147483647^*2147483647", 0},
    {"MA1 run of long notes", kFormatMa1, "(CD)*2147483647^*2147483647^*2147483647",
     "C*2147483647^*1073741823&K0D*2147483647^*1073741824", 0},
};

TEST(PortamentoTest, RewritesTheGroupIntoAChain) {
  for (const RewriteCase& rc : kRewriteCases) {
    SCOPED_TRACE(rc.name);
    seqtest::TestCompiler c = PartOne(rc.format, rc.text);
    bool ok = false;
    std::string rewritten = Rewrite(c, &ok);
    ASSERT_TRUE(ok) << SjisToUtf8(c.fault.message);
    EXPECT_EQ(rewritten, rc.rewritten);
    EXPECT_EQ(c.slots[0].carryLength, rc.carry);
  }
}

TEST(PortamentoTest, AChainLastsExactlyTheGroupLength) {
  const char* groups[] = {"(CE)4",    "(CE)4,,,20",
                          "(C<B-)4",  "(C>>C)1.",
                          "(CG)%7",   "(C_E)4",
                          "(C<A)4",   "(CE)*3",
                          "(CD#)*57", "(CD)*2147483647^*2147483647^*2147483647^*2147483647"};
  for (int format : {kFormatMa1, kFormatMa2}) {
    for (const std::string group : groups) {
      SCOPED_TRACE(group + (format == kFormatMa1 ? " MA1" : " MA2"));
      seqtest::TestCompiler c = PartOne(format, group);
      bool ok = false;
      std::string rewritten = Rewrite(c, &ok);
      ASSERT_TRUE(ok) << SjisToUtf8(c.fault.message);
      size_t pos = group.find(')') + 1;
      const int64_t length = ReadLength(group, pos, 1249984, c.tempoFactor).length;
      EXPECT_EQ(PlayedLength(rewritten, c.slots[0].carryLength), length) << rewritten;
    }
  }
}

TEST(PortamentoTest, RestoresTheDetuneAndKeyShiftOfTheGroupStart) {
  seqtest::TestCompiler ma2 = PartOne(kFormatMa2, "(CE)4");
  ma2.slots[0].detune = -20;
  ma2.slots[0].transpose = 5;  // a common shift of both notes leaves the interval
  std::string text = Rewrite(ma2);
  EXPECT_EQ(text.substr(text.size() - 8), "@K-20E*6");

  seqtest::TestCompiler ma1 = PartOne(kFormatMa1, "(CE)4");
  ma1.slots[0].transpose = -3;
  EXPECT_EQ(Rewrite(ma1), "C*31&K~1C*31&K~1C*31&K-3E*31");
}

TEST(PortamentoTest, OctaveMarksFollowTheVoiceOption) {
  seqtest::TestCompiler lowers = PartOne(kFormatMa2, "(C<E)4");  // "<" lowers: E an octave down
  EXPECT_EQ(Rewrite(lowers).substr(0, 9), "C*6&@K_4C");
  seqtest::TestCompiler raises = PartOne(kFormatMa2, "(C<E)4");
  raises.score.voices.optionA = 0;  // "<" raises: E an octave up
  EXPECT_EQ(Rewrite(raises).substr(0, 9), "C*6&@K~4C");
}

TEST(PortamentoTest, TakesTheTupletMemberLengthWhenOmitted) {
  seqtest::TestCompiler fine = PartOne(kFormatMa2, "(CC)");
  fine.slots[0].tupletOpen = 1;
  fine.slots[0].tupletNoteLength = -416661;
  EXPECT_EQ(Rewrite(fine), "C*41");
  seqtest::TestCompiler score = PartOne(kFormatMa2, "(CC)");
  score.slots[0].tupletOpen = 1;
  score.slots[0].tupletNoteLength = 160000;  // score units, scaled by the tempo
  EXPECT_EQ(Rewrite(score), "C*62");
}

struct MessageCase {
  int format;
  const char* text;
  const char* message;  // UTF-8
};

const MessageCase kMessageCases[] = {
    // the notes
    {kFormatMa2, "(C)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "()4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(CEG)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(C4E)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(C.E)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(C*4E)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(C#%4E)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(CE8)4", "1パート ポルタメントの指定が正しくありません。"},
    {kFormatMa2, "(CRE)4", "1パート '(' ポルタメントには'R'は指定できません。"},
    {kFormatMa2, "(C(E))4", "1パート '(' ポルタメントをネストすることは出来ません。"},
    // other bytes, the end of the text included
    {kFormatMa2, "(CV10E)4", "1パート ポルタメント中に'V'は指定できません。"},
    {kFormatMa2, "(C&E)4", "1パート ポルタメント中に'&'は指定できません。"},
    {kFormatMa2, "(C^E)4", "1パート ポルタメント中に'^'は指定できません。"},
    {kFormatMa2, "(CE", "1パート ポルタメント中に''は指定できません。"},
    {kFormatMa2, "(", "1パート ポルタメント中に''は指定できません。"},
    // octave and separators
    {kFormatMa2, "(CO)4", "1パート 'O'に値が設定されていません。"},
    {kFormatMa2, "(CO-E)4", "1パート 'O'に値が設定されていません。"},
    {kFormatMa2, "(,CE)4", "1パート ポルタメント内での','の使用方法が間違っています。"},
    {kFormatMa2, "(C,,E)4", "1パート ポルタメント内での','の使用方法が間違っています。"},
    {kFormatMa2, "(CE,)4", "1パート ポルタメント内での','の使用方法が間違っています。"},
    {kFormatMa2, "(_CE)4", "1パート ポルタメント内での'_'の使用方法が間違っています。"},
    {kFormatMa2, "(C,_E)4", "1パート ポルタメント内での'_'の使用方法が間違っています。"},
    // the length
    {kFormatMa2, "(CE)0", "1パート 音長に 0 は設定できません。"},
    {kFormatMa2, "(CE)4^0", "1パート 音長に 0 は設定できません。"},
    {kFormatMa2, "(CE)*", "1パート 絶対音長(*)指定では省略できません。"},
    {kFormatMa2, "(CE)*0", "1パート 絶対音長(*)に 0 は設定できません。"},
    {kFormatMa2, "(CE)%", "1パート 絶対音長(%)指定では省略できません。"},
    {kFormatMa2, "(CE)%0", "1パート 絶対音長(%)に 0 は設定できません。"},
    // transition values
    {kFormatMa2, "(CE)4,0", "1パート ポルタメントの遷移制御値は 1～98 を指定してください。"},
    {kFormatMa2, "(CE)4,99", "1パート ポルタメントの遷移制御値は 1～98 を指定してください。"},
    {kFormatMa2, "(CE)4,5,5,99", "1パート ポルタメントの遷移制御値は 1～98 を指定してください。"},
    {kFormatMa1, "(CE)4,,0", "1パート ポルタメントの遷移制御値は 1～98 を指定してください。"},
    {kFormatMa2, "(CE)4,,,0", "1パート ポルタメントの遷移制御値は 1～98 を指定してください。"},
    {kFormatMa2, "(CE)4,50,,50",
     "1パート ポルタメントの遷移制御値は合計が100になるように指定してください。"},
    {kFormatMa2, "(CE)4,98,98,98",
     "1パート ポルタメントの遷移制御値は合計が100になるように指定してください。"},
    // too short for a glide
    {kFormatMa2, "(CE)*2", "1パート ポルタメントの音長が短すぎます。"},
    {kFormatMa2, "(CE)8,1,,98", "1パート ポルタメントの音長が短すぎます。"},
    {kFormatMa2, "(CE)%1", "1パート ポルタメントの音長が短すぎます。"},
    {kFormatMa1, "(CE)1000", "1パート ポルタメントの音長が短すぎます。"},
    {kFormatMa2, "(C_E)1000", "1パート ポルタメントの音長が短すぎます。"},
};

TEST(PortamentoTest, ReportsEveryFaultWithThePartName) {
  for (const MessageCase& mc : kMessageCases) {
    SCOPED_TRACE(mc.text);
    seqtest::TestCompiler c = PartOne(mc.format, mc.text);
    bool ok = true;
    Rewrite(c, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(c.fault.message, Sjis(mc.message)) << SjisToUtf8(c.fault.message);
  }
}

// Notes too far apart to be played both: the chain fails at the step that leaves the playable
// range, naming the first note as the chain writes it, or at a step command out of range. The
// chain is cut after that step, so even astronomically wide groups fail at once.
struct FarApartCase {
  int format;
  const char* text;
  const char* message;
};

const FarApartCase kFarApartCases[] = {
    // the glide climbs past note 108 on the first note's letter
    {kFormatMa2, "(CO99E)*2000000000", "1パート 'C'は発音可能音域を上まわっています。"},
    {kFormatMa2, "(O1CO9E)4", "1パート 'C'は発音可能音域を上まわっています。"},
    {kFormatMa2, "(O8CO2147483647E)1", "1パート '@K~'には 1～512 を設定してください。"},
    // the run starts below the playable range, or walks out of it
    {kFormatMa1, "(O-5C>>>>>>>>>C)4", "1パート 'C'は発音可能音域を下まわっています。"},
    {kFormatMa1, "(O7CO-2147483647D)1", "1パート 'K_'には 1～127 を設定してください。"},
    {kFormatMa2, "(O2C_O9C)1", "1パート 'C'は発音可能音域を上まわっています。"},
};

TEST(PortamentoTest, NotesFarApartFailWhereTheChainLeavesTheRange) {
  for (const FarApartCase& fc : kFarApartCases) {
    SCOPED_TRACE(fc.text);
    seqtest::Compiled compiled = seqtest::CompileOne(fc.format, fc.text);
    EXPECT_FALSE(compiled.ok);
    EXPECT_EQ(compiled.Message(), fc.message);
  }
}

TEST(PortamentoTest, PutsAnUnusableByteIntoTheMessageRaw) {
  seqtest::TestCompiler c = PartOne(kFormatMa2, "(C\x82\xA0)4");
  EXPECT_EQ(Rewrite(c), "");
  EXPECT_EQ(c.fault.message,
            "1" + Sjis("パート ポルタメント中に'") + "\x82" + Sjis("'は指定できません。"));
  // A zero byte in the text reads like the end of the text: the message never carries it.
  seqtest::TestCompiler zero = PartOne(kFormatMa2, std::string("(C\0E)4", 6));
  EXPECT_EQ(Rewrite(zero), "");
  EXPECT_EQ(zero.fault.message, Sjis("1パート ポルタメント中に''は指定できません。"));
}

// The group is only planned: the part text stays as written, the cursor stands after the
// group and the chain waits for the step.
TEST(PortamentoTest, KeepsThePartTextAndLeavesTheCursorAfterTheGroup) {
  const char* texts[] = {"@1(CE)4R", "V15(CE)4,5,5,5R", "C(CC)4R", "O4L8C(DE)8R", "(CE)4R"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    seqtest::TestCompiler c = PartOne(kFormatMa2, text);
    const std::string original = text;
    std::string& part = c.score.partText[0];
    size_t cursor = original.find('(') + 1;
    int64_t time = 77;
    ASSERT_TRUE(c.CompilePortamento(0, part, cursor, time));
    EXPECT_EQ(part, original);
    EXPECT_EQ(cursor, original.size() - 1);  // on the "R"
    EXPECT_EQ(time, 77);
    EXPECT_TRUE(c.slots[0].glide.active);
    EXPECT_EQ(c.slots[0].glide.groupStart, original.find('('));
  }
}

// Planning a group costs time in proportion to its chain's steps, never to the rest of the
// part. The step is simulated by moving on to the next group.
TEST(PortamentoTest, ManyGroupsInOnePartLeaveTheTextAlone) {
  const int kGroups = 10000;
  seqtest::TestCompiler c = PartOne(kFormatMa2, "O4" + Repeat("(CE)4D", kGroups));
  std::string& text = c.score.partText[0];
  const std::string original = text;
  size_t cursor = text.find('(');
  int planned = 0;
  while (cursor != std::string::npos) {
    ++cursor;
    int64_t time = 0;
    ASSERT_TRUE(c.CompilePortamento(0, text, cursor, time));
    ASSERT_EQ(GlideChainText(c.slots[0].glide), kWorkedExample);
    ASSERT_EQ(text[cursor], 'D');
    ++planned;
    cursor = text.find('(', cursor);
  }
  EXPECT_EQ(planned, kGroups);
  EXPECT_EQ(text, original);
}

// A group sounds exactly as its chain written out in the part would: the same events, or the
// same message at the same step, whatever stands after the group (a slur, a tie or dots that
// the chain's last note reads on, a tempo for later notes).
TEST(PortamentoTest, AGroupSoundsAsItsChainWrittenOut) {
  struct Case {
    int format;
    const char* before;  // commands only; the detune and key shift they leave are given too
    int detune;
    int transpose;
    const char* group;
    const char* after;
  };
  const Case kCases[] = {
      {kFormatMa2, "", 0, 0, "(CE)4", "C"},
      {kFormatMa2, "@K-20", -20, 0, "(CE)4,5,,5", "&D"},
      {kFormatMa2, "", 0, 0, "(CE)4,10", "^8.&(DF)4"},
      {kFormatMa2, "", 0, 0, "(C<E>)4,10", "R"},
      {kFormatMa2, "", 0, 0, "(CC)4,10", "..&E"},
      {kFormatMa2, "L16", 0, 0, "(C_G)2", "&@K3D"},
      {kFormatMa2, "", 0, 0, "(CE)4,10", "^0"},
      {kFormatMa2, "", 0, 0, "(CE)4,10", "^*C"},
      {kFormatMa2, "", 0, 0, "(CE)4", "T60C"},
      {kFormatMa2, "", 0, 0, "(O8CO2147483647E)1", "C"},
      {kFormatMa2, "", 0, 0, "(CO99E)*2000000000", ""},
      {kFormatMa2, "", 0, 0, "(O1C#>>C)1", "C"},
      // down to the lowest note detuned down, which borrows a semitone under the lowest block
      {kFormatMa2, "@K-3", -3, 0, "(O3CO0C#)1", "C"},
      {kFormatMa2, "@K-15", -15, 0, "(O0EO0C#)2", "C"},
      // steps of more than 2147483647 ticks each
      {kFormatMa2, "", 0, 0,
       "(CD)*2147483647^*2147483647^*2147483647^*2147483647^*2147483647^*2147483647^*2147483647"
       "^*2147483647",
       "C"},
      {kFormatMa1, "K3", 0, 3, "(CG)4", "&E"},
      {kFormatMa1, "", 0, 0, "(O7CO-2147483647D)1", ""},
      {kFormatMa1, "", 0, 0, "(CD)*2147483647^*2147483647^*2147483647,5", ".C"},
  };
  // The written chain starts with the sub-tick rest the group hands to its first note.
  static int64_t carry = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.before) + c.group + c.after);
    seqtest::TestCompiler planner = PartOne(c.format, c.group);
    planner.slots[0].detune = c.detune;
    planner.slots[0].transpose = c.transpose;
    std::string chain = Rewrite(planner);
    ASSERT_FALSE(chain.empty());
    carry = planner.slots[0].carryLength;
    seqtest::Compiled group =
        seqtest::CompileOne(c.format, std::string(c.before) + c.group + c.after);
    seqtest::Compiled written =
        seqtest::CompileSlots(c.format, {{0, c.before + chain + c.after, ""}},
                              [](PartCompiler& mc) { mc.slots[0].carryLength = carry; });
    EXPECT_EQ(group.ok, written.ok);
    EXPECT_EQ(group.Message(), written.Message());
    EXPECT_EQ(seqtest::Dump(group.Track(0)), seqtest::Dump(written.Track(0)));
  }
}

// Through the scheduler and the sequence step: the chain sounds as one glide in frequency
// mode and the next note starts exactly one group length later.
TEST(PortamentoTest, ACompiledGroupGlidesAndKeepsTheTime) {
  seqtest::Compiled ma2 = seqtest::CompileOne(kFormatMa2, "(CE)4C");
  ASSERT_TRUE(ma2.ok) << ma2.Message();
  EXPECT_EQ(seqtest::Dump(ma2.Track(0)),
            "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=0 FREQ[177,14,1] ch0 | "
            "t=7 FREQ[93,17,2] ch0 | t=15 FREQ[99,17,2] ch0 | t=23 FREQ[104,17,2] ch0 | "
            "t=31 FREQ[109,17,2] ch0 | t=39 FREQ[114,17,2] ch0 | t=47 FREQ[120,17,2] ch0 | "
            "t=55 FREQ[125,17,2] ch0 | t=63 FREQ[131,17,2] ch0 | t=71 FREQ[136,17,2] ch0 | "
            "t=79 FREQ[142,17,2] ch0 | t=87 FREQ[148,17,2] ch0 | t=95 FREQ[154,17,2] ch0 | "
            "t=103 FREQ[160,17,2] ch0 | t=111 FREQ[166,17,2] ch0 | t=119 FREQ[178,17,2] ch0 | "
            "t=123 FREQ[178,17,0] ch0 | t=125 NOTE[60,123] ch0 | t=250 END ch0");

  seqtest::Compiled ma1 = seqtest::CompileOne(kFormatMa1, "(CE)4C");
  ASSERT_TRUE(ma1.ok) << ma1.Message();
  EXPECT_EQ(seqtest::Dump(ma1.Track(0), EV_NOTE),
            "t=0 NOTE[60,34] ch0 | t=32 NOTE[61,33] ch0 | t=63 NOTE[62,33] ch0 | "
            "t=94 NOTE[64,29] ch0 | t=125 NOTE[60,123] ch0");
}

TEST(PortamentoTest, AnUnclosedGroupFailsThroughTheScheduler) {
  seqtest::Compiled r = seqtest::CompileOne(kFormatMa2, "(CE");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.mc->fault.message, Sjis("1パート ポルタメント中に''は指定できません。"));
}

}  // namespace

namespace {

// The pitch bytes of frequency mode at the ends of the table and at worked examples.
TEST(PortamentoTest, PitchBytesAtTheEndsOfTheTable) {
  struct PitchCase {
    int64_t pitch;  // 16 m + c
    int low;
    int high;  // 0: no bytes
  };
  const PitchCase kCases[] = {
      {12 * 16 - 1, 0, 0},                         // under the table
      {12 * 16 + 1, 0, 0},                         // C of block -1 (F-number 434)
      {12 * 16 + 2, 90, 1},                        // moved up to block 0
      {12 * 16 + 15, 108, 1},                      // the lowest note less a sixteenth
      {60 * 16, 177, 14},                          // C4: F-number 433 of block 3
      {69 * 16, 68, 18},                           // A4: F-number 324 of block 4
      {108 * 16 + 15, 108, 33}, {109 * 16, 0, 0},  // over the table
  };
  for (const PitchCase& c : kCases) {
    SCOPED_TRACE(c.pitch);
    const PitchBytes bytes = PitchBytesAt(c.pitch);
    EXPECT_EQ(bytes.low, c.low);
    EXPECT_EQ(bytes.high, c.high);
  }
}

}  // namespace
