#include "voices/voice_definitions.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "frontend/split_score.h"
#include "tests/test_util.h"

namespace {

// The voices a text or a score gives, or the message of its fault.
struct Parsed : VoiceDefinitions {
  int format = kFormatMa1;
  std::string message;

  void SetFormat(int scoreFormat) { format = scoreFormat; }
  bool ParseVoiceDefinitions(const std::string& text) {
    return Take(::ParseVoiceDefinitions(text));
  }
  bool SplitParts(const std::string& score) {
    StageResult<SplitScore> split = ::SplitParts(score, format);
    if (!split.ok()) {
      message = split.fault().message;
      return false;
    }
    static_cast<VoiceDefinitions&>(*this) = split.value().voices;
    return true;
  }

 private:
  bool Take(const StageResult<VoiceDefinitions>& parsed) {
    if (!parsed.ok()) {
      message = parsed.fault().message;
      return false;
    }
    static_cast<VoiceDefinitions&>(*this) = parsed.value();
    return true;
  }
};

// ---- Helpers ----------------------------------------------------------------------------------

enum class Table { kMa2, kMa2FourOp, kMa1 };

Bytes RecordOf(const Parsed& c, Table table, int number) {
  auto bytes = [](const auto& record) { return Bytes(record.begin(), record.end()); };
  switch (table) {
    case Table::kMa2:
      return bytes(c.ma2[number]);
    case Table::kMa2FourOp:
      return bytes(c.ma2FourOp[number]);
    case Table::kMa1:
      return bytes(c.ma1[number]);
  }
  return {};
}

// ",v1,v2,..." for the given values.
std::string Params(const std::vector<int>& values) {
  std::string out;
  for (int v : values) {
    out += "," + std::to_string(v);
  }
  return out;
}

// Complete, valid parameter lists of the named forms.
// W: effect frequency 2, feedback 5, algorithm 1; operator 1 and operator 2 differ in every
// field group so that a value landing in the wrong operator shows.
const std::vector<int> kWValid = {2, 5, 1,  // header
                                  3, 7, 1, 0, 1, 2, 1, 3, 1, 1, 15, 4, 9, 6, 40,
                                  0, 1, 0, 1, 0, 1, 0, 0, 1, 2, 12, 3, 2, 8, 0};
// The same voice in the V numbering (the ignored positions hold numbers above 255).
const std::vector<int> kVValid = {999, 300, 2, 5, 2, 7,  // header
                                  7,   1,   0, 2, 1, 24, 0, 12, 7,  10, 4, 4, 2,
                                  1,   0,   1, 1, 2, 64, 3, 13, 14, 8,  1, 0, 3};
const char* const kWVRecord = "A9 01 7D 64 F9 A2 DB 12 83 C2 01 28 F7";

// 4-operator voices with effect frequency 1, feedback 7, the last algorithm; operator k has
// multiple k + 1, fastest rates and the lowest volume.
std::vector<int> W4Valid() {
  std::vector<int> values = {1, 7, 3};
  for (int k = 0; k < 4; ++k) {
    const std::vector<int> op = {0, k + 1, 0, 0, 0, 0, 0, 0, 0, 0, 15, 15, 15, 15, 63};
    values.insert(values.end(), op.begin(), op.end());
  }
  return values;
}
std::vector<int> V4Valid() {
  std::vector<int> values = {2147483647, 0, 1, 7, 6, 5};
  for (int k = 0; k < 4; ++k) {
    const std::vector<int> op = {k + 1, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 0};
    values.insert(values.end(), op.begin(), op.end());
  }
  return values;
}
const char* const kFourOpRecord =
    "7F 01 10 FF FF FC 00 20 FF FF FC 00 30 FF FF FC 00 40 FF FF FC 00 F7";

std::string Sj(const char* utf8) { return Sjis(utf8); }

// ---- Records ----------------------------------------------------------------------------------

struct RecordCase {
  std::string text;
  Table table;
  int number;
  const char* record;
};

TEST(VoiceDefinitionsTest, DefinitionsWriteTheirRecords) {
  const RecordCase cases[] = {
      // named forms, both numberings give the same bits
      {"W@5" + Params(kWValid), Table::kMa2, 5, kWVRecord},
      {"V@5" + Params(kVValid), Table::kMa2, 5, kWVRecord},
      {"W4@7" + Params(W4Valid()), Table::kMa2FourOp, 7, kFourOpRecord},
      {"V4@7" + Params(V4Valid()), Table::kMa2FourOp, 7, kFourOpRecord},
      // drum numbers at both ends; a named definition replaces the built-in record whole
      {"W@152" + Params(kWValid), Table::kMa2, 152, kWVRecord},
      {"V@212" + Params(kVValid), Table::kMa2, 212, kWVRecord},
      {"W@127" + Params(kWValid), Table::kMa2, 127, kWVRecord},
      // algorithm: W@ 1 and V@ 2 store 1; W4@ 3 and V4@ 6 store 7; byte 1 becomes 1
      {"W@0,0,0,1" + Params(std::vector<int>(30, 0)), Table::kMa2, 0,
       "01 01 00 00 00 00 00 00 00 00 00 00 F7"},
      // V: key scale level 1 stores 2 and 2 stores 1; vibrato 1 sets the flag with level 0
      {"V@1,0,0,0,0,1,0" + Params({0, 0, 0, 1, 1, 64, 15, 16, 16, 16, 1, 1, 0}) +
           Params({0, 0, 0, 1, 2, 64, 15, 16, 16, 16, 1, 0, 1}),
       Table::kMa2, 1, "00 01 08 00 00 02 00 00 00 00 01 08 F7"},
      // raw forms: given bytes, then zeros, whatever the record held
      {"X@5,1,2", Table::kMa2, 5, "01 02 00 00 00 00 00 00 00 00 00 00 F7"},
      {"X@0", Table::kMa2, 0, "00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"X@3,9,9X@3,1", Table::kMa2, 3, "01 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"X@212" + Params({255, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), Table::kMa2, 212,
       "FF 01 02 03 04 05 06 07 08 09 0A 0B F7"},
      {"X4@200,1,2", Table::kMa2FourOp, 200,
       "01 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"Z@127" + Params({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), Table::kMa1, 127,
       "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D F7"},
      {"Z@0,240", Table::kMa1, 0, "F0 00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      // a definition ended by a setting is closed first
      {"X@9,7@A1", Table::kMa2, 9, "07 00 00 00 00 00 00 00 00 00 00 00 F7"},
  };
  for (const RecordCase& rc : cases) {
    SCOPED_TRACE(rc.text);
    Parsed c;
    ASSERT_TRUE(c.ParseVoiceDefinitions(rc.text)) << SjisToUtf8(c.message);
    EXPECT_EQ(HexDump(RecordOf(c, rc.table, rc.number)), HexDump(FromHex(rc.record)));
  }
}

TEST(VoiceDefinitionsTest, EmptyTextChangesNothing) {
  Parsed c;
  const Parsed fresh;
  ASSERT_TRUE(c.ParseVoiceDefinitions(""));
  EXPECT_EQ(c.ma1, fresh.ma1);
  EXPECT_EQ(c.ma2, fresh.ma2);
  EXPECT_EQ(c.ma2FourOp, fresh.ma2FourOp);
  EXPECT_EQ(c.optionA, 1);
  EXPECT_EQ(c.contentsStatus, 1);
  EXPECT_EQ(c.exclusiveParam, 0x10);
  EXPECT_EQ(c.gateBase, 2);
  EXPECT_EQ(c.durationBase, 2);
}

TEST(VoiceDefinitionsTest, OnlyTheDefinedRecordChanges) {
  // The 2- and 4-operator tables are separate: "W@1" leaves 4-operator voice 1 alone.
  Parsed c;
  const Parsed fresh;
  ASSERT_TRUE(c.ParseVoiceDefinitions("W@1" + Params(kWValid) + "V4@2" + Params(V4Valid())));
  for (int i = 0; i < 256; ++i) {
    if (i != 1) {
      EXPECT_EQ(c.ma2[i], fresh.ma2[i]) << i;
    }
    if (i != 2) {
      EXPECT_EQ(c.ma2FourOp[i], fresh.ma2FourOp[i]) << i;
    }
  }
  EXPECT_EQ(c.ma1, fresh.ma1);
}

// ---- Settings ---------------------------------------------------------------------------------

struct SettingCase {
  const char* text;
  int optionA, contentsStatus, exclusiveParam, gateBase, durationBase;
};

const SettingCase kSettingCases[] = {
    {"@A0", 1, 1, 0x10, 2, 2},         {"@A1", 0, 1, 0x10, 2, 2},
    {"@A1@A0", 1, 1, 0x10, 2, 2},  // a later setting replaces an earlier one
    {"@C0@D255", 1, 0, 255, 2, 2},     {"@C3@D0", 1, 3, 0, 2, 2},
    {"@L19@R16", 1, 1, 0x10, 19, 16},  {"@L0@R3", 1, 1, 0x10, 0, 3},
    {"@R003@L017", 1, 1, 0x10, 17, 3},  // leading zeros
};

TEST(VoiceDefinitionsTest, SettingsStoreTheirValues) {
  for (const SettingCase& sc : kSettingCases) {
    SCOPED_TRACE(sc.text);
    Parsed c;
    ASSERT_TRUE(c.ParseVoiceDefinitions(sc.text)) << SjisToUtf8(c.message);
    EXPECT_EQ(c.optionA, sc.optionA);
    EXPECT_EQ(c.contentsStatus, sc.contentsStatus);
    EXPECT_EQ(c.exclusiveParam, sc.exclusiveParam);
    EXPECT_EQ(c.gateBase, sc.gateBase);
    EXPECT_EQ(c.durationBase, sc.durationBase);
  }
}

// ---- Messages ---------------------------------------------------------------------------------

struct MessageCase {
  std::string text;
  std::string message;  // Shift-JIS
};

// The first `count` parameters of a complete list.
std::string Prefix(const std::vector<int>& valid, size_t count) {
  return Params(
      std::vector<int>(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(count)));
}

// A complete parameter list cut before `index`, where `bad` is written instead.
std::string BadAt(const std::vector<int>& valid, size_t index, int bad) {
  return Prefix(valid, index) + "," + std::to_string(bad);
}

TEST(VoiceDefinitionsTest, FaultsGiveTheirMessages) {
  const std::string w = "W@1";
  const std::string v = "V@1";
  const MessageCase cases[] = {
      // bytes that start no command; of a double-byte character only the first byte
      {"-", Sj("Dパート '-'は使用できません。")},
      {"W@1" + Params(kWValid) + "Q", Sj("Dパート 'Q'は使用できません。")},
      {"7", Sj("Dパート '7'は使用できません。")},
      {"\x82\xA0", Sj("Dパート '") + "\x82" + Sj("'は使用できません。")},
      // settings
      {"@", Sj("Dパート '@'の使い方が正しくありません。")},
      {"@B1", Sj("Dパート '@B'は使用できません。")},
      {"@\x82\xA0", Sj("Dパート '@") + "\x82" + Sj("'は使用できません。")},
      {"@A", Sj("Dパート '@A'に正しい値を設定してください。")},
      {"@C,1", Sj("Dパート '@C'に正しい値を設定してください。")},
      {"@D", Sj("Dパート '@D'に正しい値を設定してください。")},
      {"@LX", Sj("Dパート '@L'に正しい値を設定してください。")},
      {"@R", Sj("Dパート '@R'に正しい値を設定してください。")},
      {"@A2", Sj("Dパート '@A'には 0 か 1 を設定してください。")},
      {"@C4", Sj("Dパート '@C'には 0 ～ 3 を設定してください。")},
      {"@D256", Sj("Dパート '@D'には 0 ～ 255 を設定してください。")},
      {"@D99999999999", Sj("Dパート '@D'には 0 ～ 255 を設定してください。")},
      {"@L4", Sj("Dパート '@L'には 0 ～ 3、16 ～ 19 を設定してください。")},
      {"@L15", Sj("Dパート '@L'には 0 ～ 3、16 ～ 19 を設定してください。")},
      {"@L20", Sj("Dパート '@L'には 0 ～ 3、16 ～ 19 を設定してください。")},
      {"@R4", Sj("Dパート '@R'には 0 ～ 3、16 ～ 19 を設定してください。")},
      {"@R20", Sj("Dパート '@R'には 0 ～ 3、16 ～ 19 を設定してください。")},
      // wrong use of the form letters: the end after the letter or its "4" names the letter
      {"W", Sj("Dパート 'W'の使い方が正しくありません。")},
      {"W4", Sj("Dパート 'W'の使い方が正しくありません。")},
      {"WX@1", Sj("Dパート 'W'の使い方が正しくありません。")},
      {"W4X", Sj("Dパート 'W4'の使い方が正しくありません。")},
      {"V", Sj("Dパート 'V'の使い方が正しくありません。")},
      {"V4,", Sj("Dパート 'V4'の使い方が正しくありません。")},
      {"X4", Sj("Dパート 'X'の使い方が正しくありません。")},
      {"X5@1", Sj("Dパート 'X'の使い方が正しくありません。")},
      {"X4A", Sj("Dパート 'X4'の使い方が正しくありません。")},
      {"Z", Sj("Dパート 'Z'の使い方が正しくありません。")},
      {"Z4@1", Sj("Dパート 'Z'の使い方が正しくありません。")},
      // voice numbers
      {"W@", Sj("Dパート 'W@'に正しい音色番号を設定してください。")},
      {"W@128", Sj("Dパート 'W@'に正しい音色番号を設定してください。")},
      {"V@151", Sj("Dパート 'V@'に正しい音色番号を設定してください。")},
      {"X@213", Sj("Dパート 'X@'に正しい音色番号を設定してください。")},
      {"W4@,1", Sj("Dパート 'W4@'に正しい音色番号を設定してください。")},
      {"V4@99999999999", Sj("Dパート 'V4@'に正しい音色番号を設定してください。")},
      {"X4@300", Sj("Dパート 'X4@'に正しい音色番号を設定してください。")},
      {"Z@128", Sj("Dパート 'Z@'に正しい音色番号を設定してください。")},
      {"Z@152", Sj("Dパート 'Z@'に正しい音色番号を設定してください。")},
      {"Z@", Sj("Dパート 'Z@'に正しい音色番号を設定してください。")},
      // a comma with no definition open
      {",", Sj("Dパート ','の使い方が正しくありません。")},
      {",5", Sj("Dパート ','の使い方が正しくありません。")},
      {"@A1,5", Sj("Dパート ','の使い方が正しくありません。")},
      // a comma without digits
      {"W@1,", Sj("Dパート 'W@'のパラメータが正しくありません。")},
      {"V@1,,", Sj("Dパート 'V@'のパラメータが正しくありません。")},
      {"W4@1,-1", Sj("Dパート 'W4@'のパラメータが正しくありません。")},
      {"V4@1,A", Sj("Dパート 'V4@'のパラメータが正しくありません。")},
      {"X@1,1,", Sj("Dパート 'X@'のパラメータが正しくありません。")},
      {"X4@1,", Sj("Dパート 'X4@'のパラメータが正しくありません。")},
      {"Z@1,", Sj("Dパート 'Z@'のパラメータが正しくありません。")},
      // raw values: the range is checked before the count
      {"X@1,256", Sj("Dパート 'X@'のパラメータには 0 ～ 255 を指定してください。")},
      {"X4@1,0,300", Sj("Dパート 'X4@'のパラメータには 0 ～ 255 を指定してください。")},
      {"Z@1,1000", Sj("Dパート 'Z@'のパラメータには 0 ～ 255 を指定してください。")},
      {"X@1" + Params(std::vector<int>(12, 1)) + ",300",
       Sj("Dパート 'X@'のパラメータには 0 ～ 255 を指定してください。")},
      {"X@1" + Params(std::vector<int>(13, 1)), Sj("Dパート 'X@'のパラメータは12個までです。")},
      {"X4@1" + Params(std::vector<int>(23, 0)), Sj("Dパート 'X4@'のパラメータは22個までです。")},
      {"Z@1" + Params(std::vector<int>(14, 0)), Sj("Dパート 'Z@'のパラメータは13個までです。")},
      // one parameter too many, found before its range
      {"W@1" + Params(kWValid) + ",99", Sj("'W@'の引数は33個です。")},
      {"V@1" + Params(kVValid) + ",0", Sj("'V@'の引数は32個です。")},
      {"W4@1" + Params(W4Valid()) + ",0", Sj("'W4@'の引数は63個です。")},
      {"V4@1" + Params(V4Valid()) + ",0", Sj("'V4@'の引数は58個です。")},
      // too few, found by the next command or by the end of the text
      {"W@1" + Prefix(kWValid, 32), Sj("Dパート 'W@'のパラメータは33個指定してください。")},
      {"W@1,0V4@1" + Params(V4Valid()), Sj("Dパート 'W@'のパラメータは33個指定してください。")},
      {"V@1@A1", Sj("Dパート 'V@'のパラメータは32個指定してください。")},
      {"W4@1" + Params(W4Valid()) + "W4@2,0,0,0X@1",
       Sj("Dパート 'W4@'のパラメータは63個指定してください。")},
      {"V4@1,0Z@1", Sj("Dパート 'V4@'のパラメータは58個指定してください。")},
      // W ranges, one per clause (the last two in operator 2 and operator 4)
      {w + BadAt(kWValid, 0, 4),
       Sj("'W@'の引数に誤りがあります。エフェクト周波数には 0～3 を指定してください。")},
      {w + BadAt(kWValid, 1, 8),
       Sj("'W@'の引数に誤りがあります。フィードバックには 0～7 を指定してください。")},
      {w + BadAt(kWValid, 2, 2),
       Sj("'W@'の引数に誤りがあります。アルゴリズムには 0～1 を指定してください。")},
      {"W4@1" + BadAt(W4Valid(), 2, 4),
       Sj("'W4@'の引数に誤りがあります。アルゴリズムには 0～3 を指定してください。")},
      {w + BadAt(kWValid, 3, 8),
       Sj("'W@'の引数に誤りがあります。ウェーブフォームには 0～7 を指定してください。")},
      {w + BadAt(kWValid, 4, 16),
       Sj("'W@'の引数に誤りがあります。マルチプルには 0～15 を指定してください。")},
      {w + BadAt(kWValid, 5, 2),
       Sj("'W@'の引数に誤りがあります。エンベロープには 0～1 を指定してください。")},
      {w + BadAt(kWValid, 6, 2),
       Sj("'W@'の引数に誤りがあります。サスティンフラグには 0～1 を指定してください。")},
      {w + BadAt(kWValid, 7, 2),
       Sj("'W@'の引数に誤りがあります。キースケールレートには 0～1 を指定してください。")},
      {w + BadAt(kWValid, 8, 4),
       Sj("'W@'の引数に誤りがあります。キースケールレベルには 0～3 を指定してください。")},
      {w + BadAt(kWValid, 9, 2),
       Sj("'W@'の引数に誤りがあります。ビブラートフラグには 0～1 を指定してください。")},
      {w + BadAt(kWValid, 10, 4),
       Sj("'W@'の引数に誤りがあります。ビブラートレベルには 0～3 を指定してください。")},
      {w + BadAt(kWValid, 11, 2),
       Sj("'W@'の引数に誤りがあります。トレモロフラグには 0～1 を指定してください。")},
      {w + BadAt(kWValid, 12, 4),
       Sj("'W@'の引数に誤りがあります。トレモロレベルには 0～3 を指定してください。")},
      {w + BadAt(kWValid, 13, 16),
       Sj("'W@'の引数に誤りがあります。アタックレートには 0～15 を指定してください。")},
      {w + BadAt(kWValid, 14, 16),
       Sj("'W@'の引数に誤りがあります。ディケイレートには 0～15 を指定してください。")},
      {w + BadAt(kWValid, 15, 16),
       Sj("'W@'の引数に誤りがあります。サスティーンレベルには 0～15 を指定してください。")},
      {w + BadAt(kWValid, 16, 16),
       Sj("'W@'の引数に誤りがあります。リリースレートには 0～15 を指定してください。")},
      {w + BadAt(kWValid, 17, 64),
       Sj("'W@'の引数に誤りがあります。トータルレベルには 0～63 を指定してください。")},
      {w + BadAt(kWValid, 32, 64),
       Sj("'W@'の引数に誤りがあります。トータルレベルには 0～63 を指定してください。")},
      {"W4@1" + BadAt(W4Valid(), 61, 16),
       Sj("'W4@'の引数に誤りがあります。リリースレートには 0～15 を指定してください。")},
      // V ranges
      {v + BadAt(kVValid, 2, 4),
       Sj("'V@'の引数に誤りがあります。エフェクト周波数には 0～3 を指定してください。")},
      {v + BadAt(kVValid, 3, 8),
       Sj("'V@'の引数に誤りがあります。フィードバックには 0～7 を指定してください。")},
      {v + BadAt(kVValid, 4, 0),
       Sj("'V@'の引数に誤りがあります。アルゴリズムには 1～2 を指定してください。")},
      {v + BadAt(kVValid, 4, 3),
       Sj("'V@'の引数に誤りがあります。アルゴリズムには 1～2 を指定してください。")},
      {"V4@1" + BadAt(V4Valid(), 4, 2),
       Sj("'V4@'の引数に誤りがあります。アルゴリズムには 3～6 を指定してください。")},
      {"V4@1" + BadAt(V4Valid(), 4, 7),
       Sj("'V4@'の引数に誤りがあります。アルゴリズムには 3～6 を指定してください。")},
      {v + BadAt(kVValid, 6, 16),
       Sj("'V@'の引数に誤りがあります。マルチプルには 0～15 を指定してください。")},
      {v + BadAt(kVValid, 7, 2),
       Sj("'V@'の引数に誤りがあります。エンベロープには 0～1 を指定してください。")},
      {v + BadAt(kVValid, 8, 2),
       Sj("'V@'の引数に誤りがあります。サスティンフラグには 0～1 を指定してください。")},
      {v + BadAt(kVValid, 9, 0),
       Sj("'V@'の引数に誤りがあります。キースケールレートには 1～2 を指定してください。")},
      {v + BadAt(kVValid, 9, 3),
       Sj("'V@'の引数に誤りがあります。キースケールレートには 1～2 を指定してください。")},
      {v + BadAt(kVValid, 10, 4),
       Sj("'V@'の引数に誤りがあります。キースケールレベルには 0～3 を指定してください。")},
      {v + BadAt(kVValid, 11, 0),
       Sj("'V@'の引数に誤りがあります。トータルレベルには 1～64 を指定してください。")},
      {v + BadAt(kVValid, 11, 65),
       Sj("'V@'の引数に誤りがあります。トータルレベルには 1～64 を指定してください。")},
      {v + BadAt(kVValid, 12, 16),
       Sj("'V@'の引数に誤りがあります。アタックレートには 0～15 を指定してください。")},
      {v + BadAt(kVValid, 13, 0),
       Sj("'V@'の引数に誤りがあります。ディケイレートには 1～16 を指定してください。")},
      {v + BadAt(kVValid, 14, 17),
       Sj("'V@'の引数に誤りがあります。サスティーンレベルには 1～16 を指定してください。")},
      {v + BadAt(kVValid, 15, 0),
       Sj("'V@'の引数に誤りがあります。リリースレートには 1～16 を指定してください。")},
      {v + BadAt(kVValid, 16, 0),
       Sj("'V@'の引数に誤りがあります。ウェーブフォームには 1～8 を指定してください。")},
      {v + BadAt(kVValid, 16, 9),
       Sj("'V@'の引数に誤りがあります。ウェーブフォームには 1～8 を指定してください。")},
      {v + BadAt(kVValid, 17, 5),
       Sj("'V@'の引数に誤りがあります。ビブラートには 0～4 を指定してください。")},
      {v + BadAt(kVValid, 18, 5),
       Sj("'V@'の引数に誤りがあります。トレモロには 0～4 を指定してください。")},
      {v + BadAt(kVValid, 31, 5),
       Sj("'V@'の引数に誤りがあります。トレモロには 0～4 を指定してください。")},
      {"V4@1" + BadAt(V4Valid(), 57, 5),
       Sj("'V4@'の引数に誤りがあります。トレモロには 0～4 を指定してください。")},
  };
  for (const MessageCase& mc : cases) {
    SCOPED_TRACE(mc.text);
    Parsed c;
    EXPECT_FALSE(c.ParseVoiceDefinitions(mc.text));
    EXPECT_EQ(SjisToUtf8(c.message), SjisToUtf8(mc.message));
    EXPECT_EQ(c.message, mc.message);
  }
}

TEST(VoiceDefinitionsTest, CompleteDefinitionsCloseCleanlyBeforeTheNext) {
  const std::string texts[] = {
      "W@1" + Params(kWValid) + "V4@2" + Params(V4Valid()),
      "V@1" + Params(kVValid) + "@R16" + "W4@2" + Params(W4Valid()) + "X@3",
      // several blocks joined: a definition may go on across the join
      "Z@1,1,2" + std::string(",3") + "W@4" + Params(kWValid),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    Parsed c;
    EXPECT_TRUE(c.ParseVoiceDefinitions(text)) << SjisToUtf8(c.message);
  }
}

// ---- Through the part splitter ------------------------------------------------------------------

// Voice blocks are upper-cased, stripped of white space and joined before they reach the parser.
TEST(VoiceDefinitionsTest, ReadsTheJoinedVoiceBlocksOfAScore) {
  const RecordCase cases[] = {
      {"d[ x@3, 1 ]", Table::kMa2, 3, "01 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"title\r\nD[X@3,1,\r\n]\r\nnotes\r\nD[2, 3]", Table::kMa2, 3,
       "01 02 03 00 00 00 00 00 00 00 00 00 F7"},
      {"D[z@9,255]", Table::kMa1, 9, "FF 00 00 00 00 00 00 00 00 00 00 00 00 F7"},
  };
  for (const RecordCase& rc : cases) {
    SCOPED_TRACE(rc.text);
    Parsed c;
    c.SetFormat(kFormatMa2);
    ASSERT_TRUE(c.SplitParts(rc.text)) << SjisToUtf8(c.message);
    EXPECT_EQ(HexDump(RecordOf(c, rc.table, rc.number)), HexDump(FromHex(rc.record)));
  }
  Parsed c;
  ASSERT_TRUE(c.SplitParts("D[@a1 @r 16]"));
  EXPECT_EQ(c.optionA, 0);
  EXPECT_EQ(c.durationBase, 16);
  EXPECT_FALSE(c.SplitParts("D[w@1,0]"));
  EXPECT_EQ(c.message, Sj("Dパート 'W@'のパラメータは33個指定してください。"));
}

}  // namespace
