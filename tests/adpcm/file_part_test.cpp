#include "adpcm/file_part.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

#include "core/sjis.h"
#include "frontend/split_score.h"
#include "tests/test_util.h"

namespace {

// ---- Registered names -------------------------------------------------------------------------

struct NameCase {
  std::string text;
  std::map<int, std::string> names;  // wave slot 1-10 -> name; the other slots stay empty
  int waveType;
};

TEST(AdpcmFilesTest, RegistersNamesAndWaveType) {
  const NameCase cases[] = {
      // nothing registered, the wave type stays
      {"", {}, 0x11},
      {" \t\r\n", {}, 0x11},
      // letters either case, A-J are slots 1-10
      {"A<x.wav>", {{1, "x.wav"}}, 0x11},
      {"a<x.wav>", {{1, "x.wav"}}, 0x11},
      {"j<last.wav>", {{10, "last.wav"}}, 0x11},
      {"\r\n S8 A<kick.wav>\r\n B<voice\\hello.wav> ",
       {{1, "kick.wav"}, {2, "voice\\hello.wav"}},
       0x11},
      // blanks: spaces kept inside the name, tabs and line breaks dropped, any blank around
      {"A<my file.wav>", {{1, "my file.wav"}}, 0x11},
      {"A< x.wav >", {{1, " x.wav "}}, 0x11},
      {"A<x\r\n.w\tav>", {{1, "x.wav"}}, 0x11},
      {"A \t\r\n<x.wav>", {{1, "x.wav"}}, 0x11},
      // double-byte characters are stored whole, even with a second byte like "\", "<", ">"
      {"A<\x95\x5C.wav>", {{1, "\x95\x5C.wav"}}, 0x11},
      {"A<\x83\x3C\x83\x3E\x83\x0A>", {{1, "\x83\x3C\x83\x3E\x83\x0A"}}, 0x11},
      {"A<\xE0\x40x>", {{1, "\xE0\x40x"}}, 0x11},
      // a name without its ">" at the end of the text stays as far as it got
      {"A<x.wav", {{1, "x.wav"}}, 0x11},
      {"A<x\x82", {{1, "x\x82"}}, 0x11},
      {"A", {{1, ""}}, 0x11},
      // a later declaration of a letter replaces the earlier name
      {"A<x.wav> A<y.wav>", {{1, "y.wav"}}, 0x11},
      {"A<x.wav>a<>", {{1, ""}}, 0x11},
      // wave type
      {"S4", {}, 0x10},
      {"s8", {}, 0x11},
      {"S4 S8", {}, 0x11},
      {"S4A<x>", {{1, "x"}}, 0x10},
      {"S004", {}, 0x10},
  };
  for (const NameCase& nc : cases) {
    SCOPED_TRACE(nc.text);
    const StageResult<WaveList> c = ParseAdpcmFiles(nc.text);
    ASSERT_TRUE(c.ok()) << SjisToUtf8(c.fault().message);
    for (int slot = 1; slot <= kWaveSlots; ++slot) {
      const auto found = nc.names.find(slot);
      const std::string expected = found == nc.names.end() ? "" : found->second;
      EXPECT_EQ(HexDump(c.value().fileName[slot - 1]), HexDump(expected)) << "slot " << slot;
    }
    EXPECT_EQ(c.value().waveType, nc.waveType);
  }
}

// ---- Messages ---------------------------------------------------------------------------------

struct MessageCase {
  const char* text;
  std::string message;  // Shift-JIS
};

TEST(AdpcmFilesTest, FaultsGiveTheirMessages) {
  const std::string unusableHead = Sjis("Fパート '");
  const std::string unusableTail = Sjis("'は使用できません。");
  const std::string waveType = Sjis("Fパート 'S'には 4 か 8 を指定してください。");
  const std::string badEntry = Sjis("Fパート ADPCMファイルの指定に誤りがあります。");
  const MessageCase cases[] = {
      // unusable bytes in Idle: one raw byte, even of a double-byte character
      {"K<x.wav>", unusableHead + "K" + unusableTail},
      {"A<x>>", unusableHead + ">" + unusableTail},
      {"<x>", unusableHead + "<" + unusableTail},
      {"\x82\xA0", unusableHead + "\x82" + unusableTail},
      // wave type
      {"S16", waveType},
      {"S", waveType},
      {"S 4", waveType},
      {"s0", waveType},
      {"S99999999999", waveType},
      // after a letter
      {"A x.wav", badEntry},
      {"AB<x>", badEntry},
      {"A>", Sjis("Fパート ファイル名に'>'は使用できません。")},
      // inside a name
      {"A<x<y>", Sjis("Fパート ファイル名に'<'は使用できません。")},
  };
  for (const MessageCase& mc : cases) {
    SCOPED_TRACE(mc.text);
    const StageResult<WaveList> c = ParseAdpcmFiles(mc.text);
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(SjisToUtf8(c.fault().message), SjisToUtf8(mc.message));
    EXPECT_EQ(c.fault().message, mc.message);
  }
}

// ---- Through the part splitter ------------------------------------------------------------------

// File blocks reach the parser raw (case and blanks kept), and only in MA2.
TEST(AdpcmFilesTest, ReadsTheFileBlocksOfAnMa2Score) {
  const StageResult<SplitScore> c =
      SplitParts("f[ s4 a<My Kick.wav> ]\r\nF[\r\nb<Sub\\Snare.wav>]", kFormatMa2);
  ASSERT_TRUE(c.ok()) << SjisToUtf8(c.fault().message);
  EXPECT_EQ(c.value().waves.waveType, 0x10);
  EXPECT_EQ(c.value().waves.fileName[0], "My Kick.wav");
  EXPECT_EQ(c.value().waves.fileName[1], "Sub\\Snare.wav");

  const StageResult<SplitScore> ma1 = SplitParts("F[S4 A<x.wav>]", kFormatMa1);
  ASSERT_TRUE(ma1.ok()) << SjisToUtf8(ma1.fault().message);
  EXPECT_EQ(ma1.value().waves.waveType, 0x11);
  EXPECT_EQ(ma1.value().waves.fileName[0], "");

  const StageResult<SplitScore> bad = SplitParts("F[A<x<y>]", kFormatMa2);
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.fault().message, Sjis("Fパート ファイル名に'<'は使用できません。"));
}

}  // namespace
