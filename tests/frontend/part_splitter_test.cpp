#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "adpcm/file_part.h"
#include "core/seq_event.h"
#include "core/sjis.h"
#include "core/text_functions.h"
#include "frontend/contents_part.h"
#include "frontend/repeats.h"
#include "frontend/split_score.h"
#include "tests/test_util.h"
#include "voices/voice_definitions.h"

namespace {

// The placed parts as "slot:name:text" in slot order, a "*" after the name of a 4-operator
// part, then "A:" and the ADPCM part text.
std::string Layout(const SplitScore& split) {
  std::string layout;
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    if (split.partName[slot].empty() && split.partText[slot].empty()) {
      EXPECT_EQ(split.fourOpPart[slot], 0) << "slot " << slot;
      continue;
    }
    layout += std::to_string(slot) + ":" + split.partName[slot] +
              (split.fourOpPart[slot] ? "*" : "") + ":" + split.partText[slot] + " ";
  }
  return layout + "A:" + split.adpcmText;
}

// The layout of the split, or its message; `rhythm` tells whether an N part was placed.
std::string Split(int format, const std::string& score, bool* rhythm = nullptr) {
  const StageResult<SplitScore> split = SplitParts(score, format);
  if (!split.ok()) {
    return "error " + SjisToUtf8(split.fault().message);
  }
  if (rhythm != nullptr) {
    *rhythm = split.value().rhythmPart;
  }
  return Layout(split.value());
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
    // a later block closes at the "]" of one taken out before and holds what is left of it
    {"2[c 1[d] e]", "0:1:D 1:2:C1[ 2:3: 3:4: A:"},
    {"3[x d[@a1] 2[y]]4[]", "0:1: 1:2:Y 2:3:XD[ 3:4: A:"},
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
    bool rhythm = true;
    EXPECT_EQ(Split(kFormatMa1, c.score, &rhythm), c.layout);
    EXPECT_FALSE(rhythm);
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
    // a skipped two-digit header passes over its own three bytes only
    {"111[11[c]", "0:11:C A:"},
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
    // the N part and fifteen 2-operator parts: 32 operators
    {"1[N10]" + Parts(2, 15, "c"),
     "0:2:C 1:3:C 2:4:C 3:5:C 4:6:C 5:7:C 6:8:C 7:9:C 8:10:C 9:1:N10 10:11:C 11:12:C 12:13:C "
     "13:14:C 14:15:C 15:16:C A:"},
    // one 4-operator part and fourteen 2-operator parts: 32 operators
    {"1[@O4]" + Parts(2, 14, "c"),
     "0:1*:@O4 1:2:C 2:3:C 3:4:C 5:5:C 6:6:C 7:7:C 8:8:C 9:9:C 10:10:C 11:11:C 12:12:C 13:13:C "
     "14:14:C 15:15:C A:"},
    // the file block is taken out before the parts are looked for
    {"F[]2[c]", "0:2:C A:"},
};

TEST(SplitPartsTest, Ma2PartsArePlacedBySlotRules) {
  for (const SplitCase& c : kMa2Cases) {
    SCOPED_TRACE(c.score);
    EXPECT_EQ(Split(kFormatMa2, c.score), c.layout);
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
    {kMa2, "1[N10]2[@O4]" + Parts(3, 14, "c"), "オペレータの合計が３２を超えています。"},
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
    const StageResult<SplitScore> split = SplitParts(c.score, c.format);
    ASSERT_FALSE(split.ok());
    EXPECT_EQ(HexDump(split.fault().message), HexDump(Sjis(c.message)))
        << SjisToUtf8(split.fault().message);
  }
}

// Faults that only MA2 looks for are free text or no fault in MA1.
TEST(SplitPartsTest, Ma1IgnoresFileAndAdpcmBlocksAndOperatorSettings) {
  const char* const kScores[] = {"F[A<x.wav>", "A[c", "10[c", "1[@O3]2[N9]", "F[?]"};
  for (const char* score : kScores) {
    SCOPED_TRACE(score);
    const StageResult<SplitScore> split = SplitParts(score, kFormatMa1);
    EXPECT_TRUE(split.ok()) << SjisToUtf8(split.fault().message);
  }
}

TEST(SplitPartsTest, DefinitionBlocksReachTheirParsers) {
  // contents: raw text, case and blanks kept; escaped and lead-byte "]" stay inside
  const StageResult<SplitScore> contents =
      SplitParts("c[ST:My Song,]x C[CR:\x82]a\\],]", kFormatMa2);
  ASSERT_TRUE(contents.ok());
  EXPECT_EQ(HexDump(contents.value().contentsOptions),
            HexDump(std::string("ST:My Song,CR:\x82]a],")));

  // file list: raw text; a "]" after a lead byte closes it, what follows is free text
  const StageResult<SplitScore> files = SplitParts("f[a<Kick.wav>]F[C<x\x82]B<y.wav>]", kFormatMa2);
  ASSERT_TRUE(files.ok());
  EXPECT_EQ(files.value().waves.fileName[0], "Kick.wav");
  EXPECT_EQ(files.value().waves.fileName[1], "");
  EXPECT_EQ(files.value().waves.fileName[2].substr(0, 1), "x");

  // voices: upper-cased, without white space
  const StageResult<SplitScore> voices = SplitParts("d[@a 1]", kFormatMa1);
  ASSERT_TRUE(voices.ok());
  EXPECT_EQ(voices.value().voices.optionA, 0);
}

// ---- Blocks taken out one by one, for the differential test ---------------------------------

enum class RefClosing { kFirstBracket, kContents, kFileList };

// Takes the blocks of one kind out as a score is read block by block: find the header from p,
// find its "]", erase what lies between, go on at h + 3 of the shortened text.
bool ReferenceExtract(std::string& source, const std::string& header, bool eitherCase,
                      bool numbered, RefClosing closing, std::string& collected) {
  size_t p = 0;
  for (;;) {
    size_t h = source.find(header, p);
    if (eitherCase) {
      const std::string lower = {static_cast<char>(header[0] - 'A' + 'a'), '['};
      h = std::min(h, source.find(lower, p));
    }
    if (h == std::string::npos) {
      return true;
    }
    if (numbered && h > 0 && source[h - 1] == '1') {
      p = h + 3;
      continue;
    }
    const size_t start = h + header.size();
    size_t e = source.find(']', h + 1);
    for (; e != std::string::npos; e = source.find(']', e + 1)) {
      if (closing == RefClosing::kFirstBracket) {
        break;
      }
      if (closing == RefClosing::kContents && IsLeadByte(source[e - 1])) {
        continue;
      }
      int backslashes = 0;
      for (size_t j = e; j > start && source[j - 1] == '\\' && !IsLeadByte(source[j - 2]); --j) {
        ++backslashes;
      }
      if (backslashes % 2 == 0) {
        break;
      }
    }
    if (e == std::string::npos) {
      return false;
    }
    collected += source.substr(start, e - start);
    source.erase(start, e - start);
    p = h + 3;
  }
}

// What a split gives: its message, or the contents, the file names and the parts by name.
std::string Outcome(const StageResult<SplitScore>& split) {
  if (!split.ok()) {
    return "error " + HexDump(split.fault().message);
  }
  const SplitScore& c = split.value();
  std::string outcome = "ok contents " + HexDump(c.contentsOptions);
  for (const std::string& name : c.waves.fileName) {
    outcome += " file " + HexDump(name);
  }
  std::map<std::string, std::string> parts;
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    if (!c.partName[slot].empty()) {
      parts[c.partName[slot]] = c.partText[slot];
    }
  }
  for (const auto& [name, text] : parts) {
    outcome += " " + name + ":" + HexDump(text);
  }
  return outcome + " A:" + HexDump(c.adpcmText);
}

// The stages of a split with the blocks taken out one by one. The scores hold no "@O" and
// no "N", so every MA2 part is a 2-operator part and no budget is exceeded.
std::string ReferenceSplit(int format, std::string source) {
  SplitScore c;
  c.format = format;
  auto fail = [](const std::string& message) {
    return Outcome(StageResult<SplitScore>(CompileFault{message, {}}));
  };
  FaultPlace place;
  std::string contents;
  if (!ReferenceExtract(source, "C[", true, false, RefClosing::kContents, contents)) {
    return fail(Sjis("Cパートの括弧が閉じられていません。"));
  }
  const StageResult<Bytes> options = ParseContents(contents);
  if (!options.ok()) {
    return fail(options.fault().message);
  }
  c.contentsOptions = options.value();
  if (format == kFormatMa2) {
    std::string files;
    if (!ReferenceExtract(source, "F[", true, false, RefClosing::kFileList, files)) {
      return fail(Sjis("Fパートの括弧が閉じられていません。"));
    }
    const StageResult<WaveList> waves = ParseAdpcmFiles(files);
    if (!waves.ok()) {
      return fail(waves.fault().message);
    }
    c.waves = waves.value();
  }
  for (char& ch : source) {
    ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
  }
  std::string voices;
  if (!ReferenceExtract(source, "D[", false, false, RefClosing::kFirstBracket, voices)) {
    return fail(Sjis("Dパートの括弧が閉じられていません。"));
  }
  const StageResult<VoiceDefinitions> definitions = ParseVoiceDefinitions(StripWhitespace(voices));
  if (!definitions.ok()) {
    return fail(definitions.fault().message);
  }
  const int parts = format == kFormatMa2 ? kSequenceSlots : 4;
  int slot = 0;
  uint64_t expanded = 0;
  for (int number = 1; number <= parts; ++number) {
    const std::string name = std::to_string(number);
    std::string text;
    if (!ReferenceExtract(source, name + "[", false, true, RefClosing::kFirstBracket, text)) {
      return fail(name + Sjis("パートの括弧が閉じられていません。"));
    }
    text = StripWhitespace(text);
    if (format == kFormatMa2 && text.empty()) {
      continue;
    }
    const std::string fault = ExpandRepeats(text, kMaxExpandedBytes - expanded, place);
    if (!fault.empty()) {
      return fail(name + Sjis("パート ") + fault);
    }
    expanded += text.size();
    c.partName[slot] = name;
    c.partText[slot++] = text;
  }
  if (format == kFormatMa2) {
    std::string text;
    if (!ReferenceExtract(source, "A[", false, true, RefClosing::kFirstBracket, text)) {
      return fail(Sjis("Aパートの括弧が閉じられていません。"));
    }
    text = StripWhitespace(text);
    const std::string fault = ExpandRepeats(text, kMaxExpandedBytes - expanded, place);
    if (!fault.empty()) {
      return fail(Sjis("Aパート ") + fault);
    }
    c.adpcmText = text;
  }
  return Outcome(StageResult<SplitScore>(std::move(c)));
}

// Scores of bytes that make headers, brackets, escapes and lead bytes meet in every way.
TEST(SplitPartsTest, AgreesWithTakingTheBlocksOutOneByOne) {
  const std::string alphabets[] = {
      std::string("1[[]]]\\\\\x82 cCfF:,ST"),            // contents and file blocks
      std::string("1[[]]]\\\x82 fFdD<>aA"),              // file and voice blocks
      std::string("1111206[[[]]]\x82 aAcd|:"),           // sequence and A blocks
      std::string("12[[]]]\\\x82\x81 cCfFdDaA0x:,<>|"),  // everything
  };
  std::mt19937 random(77031);
  for (int i = 0; i < 10000; ++i) {
    const std::string& alphabet = alphabets[i % std::size(alphabets)];
    const size_t length = random() % 24;
    std::string score;
    for (size_t k = 0; k < length; ++k) {
      score += alphabet[random() % alphabet.size()];
    }
    for (int format : {kFormatMa1, kFormatMa2}) {
      const std::string actual = Outcome(SplitParts(score, format));
      const std::string expected = ReferenceSplit(format, score);
      if (actual != expected) {
        ADD_FAILURE() << "format " << format << " score " << HexDump(score) << "\nexpected "
                      << expected << "\nactual   " << actual;
        return;
      }
    }
  }
}

}  // namespace
