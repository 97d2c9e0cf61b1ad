#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compiler.h"
#include "core/seq_event.h"
#include "core/sjis.h"
#include "tests/test_util.h"

namespace {

// The placed parts as "slot:name:text" in slot order, a "*" after the name of a 4-operator
// part, then "A:" and the ADPCM part text.
std::string Layout(const CMmlCompiler& compiler) {
  std::string layout;
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    if (compiler.m_partName[slot].empty() && compiler.m_partText[slot].empty()) {
      EXPECT_EQ(compiler.m_fourOpPart[slot], 0) << "slot " << slot;
      continue;
    }
    layout += std::to_string(slot) + ":" + compiler.m_partName[slot] +
              (compiler.m_fourOpPart[slot] ? "*" : "") + ":" + compiler.m_partText[slot] + " ";
  }
  return layout + "A:" + compiler.m_adpcmPartText;
}

std::string Split(int format, const std::string& score, CMmlCompiler& compiler) {
  compiler.SetFormat(format);
  if (!compiler.SplitParts(score)) {
    return "error " + SjisToUtf8(compiler.GetErrorText());
  }
  return Layout(compiler);
}

// n parts named from `first` on, each holding `text`.
std::string Parts(int first, int n, const std::string& text) {
  std::string score;
  for (int number = first; number < first + n; ++number) {
    score += std::to_string(number) + "[" + text + "]\r\n";
  }
  return score;
}

struct SplitCase {
  std::string score;
  const char* layout;
};

const SplitCase kMa1Cases[] = {
    // no blocks: four empty parts
    {"", "0:1: 1:2: 2:3: 3:4: A:"},
    // blocks of one name are joined; free text is ignored; upper case, no white space
    {"Title\r\n1[abc]free text 1[d e\r\nf]", "0:1:ABCDEF 1:2: 2:3: 3:4: A:"},
    {"1[c]2[d]3[e]4[f]5[g]", "0:1:C 1:2:D 2:3:E 3:4:F A:"},
    {"1[|:3c:|]", "0:1:CCC 1:2: 2:3: 3:4: A:"},
    // only a preceding "1" disqualifies a header
    {"11[c]12[d]", "0:1: 1:2: 2:3: 3:4: A:"},
    {"21[c]", "0:1:C 1:2: 2:3: 3:4: A:"},
    // a skipped header also skips the byte after its "["
    {"11[1[c]]", "0:1: 1:2: 2:3: 3:4: A:"},
    // "@O" and "N" are not looked at; file and A blocks are free text
    {"1[@O3 N9]", "0:1:@O3N9 1:2: 2:3: 3:4: A:"},
    {"F[2[c]] A[d] 10[e", "0:1: 1:2:C 2:3: 3:4: A:"},
    // a "]" inside a double-byte character ends the block; white space after a lead byte stays
    {"1[c\x81]d]", "0:1:C\x81 1:2: 2:3: 3:4: A:"},
    {"1[\x82 c]", "0:1:\x82 C 1:2: 2:3: 3:4: A:"},
    // what a contents block held is gone before the parts are looked for
    {"C[ST:1[x\\],]1[y]", "0:1:Y 1:2: 2:3: 3:4: A:"},
};

TEST(SplitPartsTest, Ma1PartsTakeSlotsOneToFour) {
  for (const SplitCase& c : kMa1Cases) {
    SCOPED_TRACE(c.score);
    CMmlCompiler compiler;
    EXPECT_EQ(Split(kFormatMa1, c.score, compiler), c.layout);
    EXPECT_EQ(compiler.m_nPartSet, 0);
  }
}

const SplitCase kMa2Cases[] = {
    // no blocks: no part, an empty A part
    {"", "A:"},
    // empty blocks create no part
    {"1[] 2[ \r\n ] 3[c]", "0:3:C A:"},
    // a block that expands to nothing still is a part
    {"1[|::|]2[c]", "0:1: 1:2:C A:"},
    // the score in words: a 4-operator part 1 in slot 0, the N part 2 in slot 9, part 3 in 1
    {"My song\r\n1[@O4 t120 o4 c]\r\n2[n10 c]\r\n3[e]\r\n1[d]\r\na[|:c:|]",
     "0:1*:@O4T120O4CD 1:3:E 9:2:N10C A:CC"},
    {"1[@o04c]", "0:1*:@O04C A:"},
    {"1[@O2 N010 @O4]", "9:1:@O2N010@O4 A:"},
    // numbered headers
    {"11[c]", "0:11:C A:"},
    {"21[c]", "0:1:C A:"},
    {"16[c]6[d]", "0:6:D 1:16:C A:"},
    {"1A[c]A[d]", "A:D"},
    // two 4-operator parts and five 2-operator parts
    {Parts(1, 2, "@O4c") + Parts(3, 5, "d"),
     "0:1*:@O4C 1:2*:@O4C 2:3:D 3:4:D 6:5:D 7:6:D 8:7:D A:"},
    // eight 4-operator parts
    {Parts(1, 8, "@O4"),
     "0:1*:@O4 1:2*:@O4 2:3*:@O4 3:4*:@O4 8:5*:@O4 9:6*:@O4 10:7*:@O4 11:8*:@O4 A:"},
    // five 4-operator parts, the N part, one more 4-operator part
    {Parts(1, 5, "@O4") + "6[N10]" + Parts(7, 1, "@O4"),
     "0:1*:@O4 1:2*:@O4 2:3*:@O4 3:4*:@O4 8:5*:@O4 9:6:N10 10:7*:@O4 A:"},
    // sixteen 2-operator parts: 32 operators
    {Parts(1, 16, "c"),
     "0:1:C 1:2:C 2:3:C 3:4:C 4:5:C 5:6:C 6:7:C 7:8:C 8:9:C 9:10:C 10:11:C 11:12:C 12:13:C "
     "13:14:C 14:15:C 15:16:C A:"},
    // seven 4-operator parts, the N part and a 2-operator part: 32 operators
    {Parts(1, 7, "@O4") + "8[N10]9[c]",
     "0:1*:@O4 1:2*:@O4 2:3*:@O4 3:4*:@O4 8:5*:@O4 9:8:N10 10:6*:@O4 11:7*:@O4 13:9:C A:"},
    // the file block is taken out before the parts are looked for
    {"F[]2[c]", "0:2:C A:"},
};

TEST(SplitPartsTest, Ma2PartsArePlacedBySlotRules) {
  for (const SplitCase& c : kMa2Cases) {
    SCOPED_TRACE(c.score);
    CMmlCompiler compiler;
    EXPECT_EQ(Split(kFormatMa2, c.score, compiler), c.layout);
  }
}

struct MessageCase {
  int format;
  std::string score;
  const char* message;  // UTF-8
};

const int kMa1 = kFormatMa1;
const int kMa2 = kFormatMa2;

const MessageCase kMessageCases[] = {
    // unclosed blocks
    {kMa1, "C[ST:x,", "Cパートの括弧が閉じられていません。"},
    {kMa2, "c[ST:x\\]", "Cパートの括弧が閉じられていません。"},
    {kMa1, "C[ST:\x82]", "Cパートの括弧が閉じられていません。"},
    {kMa2, "F[A<x.wav>", "Fパートの括弧が閉じられていません。"},
    {kMa2, "f[A<x\\]", "Fパートの括弧が閉じられていません。"},
    {kMa1, "D[@A1", "Dパートの括弧が閉じられていません。"},
    {kMa2, "d[@A1", "Dパートの括弧が閉じられていません。"},
    {kMa1, "1[c", "1パートの括弧が閉じられていません。"},
    {kMa2, "4[c]3[c", "3パートの括弧が閉じられていません。"},
    {kMa2, "10[c", "10パートの括弧が閉じられていません。"},
    {kMa2, "a[c", "Aパートの括弧が閉じられていません。"},
    // two backslashes before "]" close a contents block
    {kMa1, "C[ST:x\\\\]", "Cパート内の表記方法に誤りがあります。"},
    // repeat faults with the part label
    {kMa1, "1[|:c]", "1パート ':|'がありません。"},
    {kMa2, "12[c:|]", "12パート '|:'がありません。"},
    {kMa2, "A[|:1c:|]", "Aパート '|:'のループ回数には２以上を指定してください。"},
    {kMa1, "3[|:9999|:9999|:9999c:|:|:|]", "3パート '|:'の展開後のデータが大きすぎます。"},
    // operator kinds
    {kMa2, "1[@O3c]", "1パート '@O'には 2 か 4 を指定してください。"},
    {kMa2, "1[@Oc]", "1パート '@O'には 2 か 4 を指定してください。"},
    {kMa2, "1[c@O]", "1パート '@O'には 2 か 4 を指定してください。"},
    {kMa2, "1[N10c]2[n10c]", "2パート 'N'はすでに指定されています。"},
    {kMa2, "2[N10]3[N9]", "3パート 'N'はすでに指定されています。"},
    {kMa2, "1[N9c]", "1パート 'N'には 10 を指定してください。"},
    {kMa2, "1[cN]", "1パート 'N'には 10 を指定してください。"},
    // operator budget
    {kMa2, Parts(1, 8, "@O4") + "9[N10]", "オペレータ数がオーバーしています。"},
    {kMa2, Parts(1, 9, "@O4"), "オペレータの合計が３２を超えています。"},
    {kMa2, Parts(1, 1, "@O4") + Parts(2, 15, "c"), "オペレータの合計が３２を超えています。"},
    {kMa2, Parts(1, 7, "@O4") + "8[N10]" + Parts(9, 2, "c"),
     "オペレータの合計が３２を超えています。"},
    // the order of the stages: contents, files, voices, parts in name order, budget, A part
    {kMa2, "F[?]C[x", "Cパートの括弧が閉じられていません。"},
    {kMa2, "D[@A1 F[?]", "Fパート '?'は使用できません。"},
    {kMa2, "1[c D[@A2]", "Dパート '@A'には 0 か 1 を設定してください。"},
    {kMa2, "2[@O3]1[|:c]", "1パート ':|'がありません。"},
    {kMa2, "1[@O3 |:c]", "1パート ':|'がありません。"},
    {kMa2, "1[@O3 N9]", "1パート '@O'には 2 か 4 を指定してください。"},
    {kMa2, Parts(1, 9, "@O4") + "A[c", "オペレータの合計が３２を超えています。"},
    {kMa2, "A[c 1[N9]", "1パート 'N'には 10 を指定してください。"},
};

TEST(SplitPartsTest, ReportsTheFirstFaultWithItsLabel) {
  for (const MessageCase& c : kMessageCases) {
    SCOPED_TRACE(c.score);
    CMmlCompiler compiler;
    compiler.SetFormat(c.format);
    EXPECT_FALSE(compiler.SplitParts(c.score));
    EXPECT_EQ(HexDump(compiler.GetErrorText()), HexDump(Sjis(c.message)))
        << SjisToUtf8(compiler.GetErrorText());
  }
}

// Faults that only MA2 looks for are free text or no fault in MA1.
TEST(SplitPartsTest, Ma1IgnoresFileAndAdpcmBlocksAndOperatorSettings) {
  const char* const kScores[] = {"F[A<x.wav>", "A[c", "10[c", "1[@O3]2[N9]", "F[?]"};
  for (const char* score : kScores) {
    SCOPED_TRACE(score);
    CMmlCompiler compiler;
    compiler.SetFormat(kFormatMa1);
    EXPECT_TRUE(compiler.SplitParts(score)) << SjisToUtf8(compiler.GetErrorText());
  }
}

TEST(SplitPartsTest, DefinitionBlocksReachTheirParsers) {
  // contents: raw text, case and blanks kept; escaped and lead-byte "]" stay inside
  CMmlCompiler contents;
  contents.SetFormat(kFormatMa2);
  ASSERT_TRUE(contents.SplitParts("c[ST:My Song,]x C[CR:\x82]a\\],]"));
  EXPECT_EQ(HexDump(contents.m_contentsOptions), HexDump(std::string("ST:My Song,CR:\x82]a],")));

  // file list: raw text; a "]" after a lead byte closes it, what follows is free text
  CMmlCompiler files;
  files.SetFormat(kFormatMa2);
  ASSERT_TRUE(files.SplitParts("f[a<Kick.wav>]F[C<x\x82]B<y.wav>]"));
  EXPECT_EQ(files.m_adpcmFileName[0], "Kick.wav");
  EXPECT_EQ(files.m_adpcmFileName[1], "");
  EXPECT_EQ(files.m_adpcmFileName[2].substr(0, 1), "x");

  // voices: upper-cased, without white space
  CMmlCompiler voices;
  voices.SetFormat(kFormatMa1);
  ASSERT_TRUE(voices.SplitParts("d[@a 1]"));
  EXPECT_EQ(voices.m_optionA, 0);
}

TEST(SplitPartsTest, ResetsTheEventSerialCounter) {
  NextEventSerial();
  NextEventSerial();
  CMmlCompiler compiler;
  ASSERT_TRUE(compiler.SplitParts("1[c]"));
  EXPECT_EQ(NextEventSerial(), 1);
}

}  // namespace
