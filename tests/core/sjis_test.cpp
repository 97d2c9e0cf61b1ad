#include "core/sjis.h"

#include <gtest/gtest.h>

namespace {

TEST(SjisTest, EncodesTheWaveDashWithCp932) {
  EXPECT_EQ(Sjis("0～15"),
            "0\x81\x60"
            "15");
  EXPECT_EQ(Sjis("３２"), "\x82\x52\x82\x51");
  EXPECT_EQ(Sjis("ｵｸﾀｰﾌﾞ"), "\xB5\xB8\xC0\xB0\xCC\xDE");
}

TEST(SjisTest, DecodingShowsUnconvertibleBytesAsEscapes) {
  EXPECT_EQ(SjisToUtf8(Sjis("パート 'V'")), "パート 'V'");
  EXPECT_EQ(SjisToUtf8("a\x82"), "a\\x82");  // a lead byte cut off at the end
  EXPECT_EQ(SjisToUtf8("\xFF"
                       "b"),
            "\\xFFb");
  // One converter goes on after each byte that stops it.
  EXPECT_EQ(SjisToUtf8("\xFF\xFF"
                       "c\x8B\xC8\xFF\x82"),
            "\\xFF\\xFFc曲\\xFF\\x82");
}

TEST(SjisTest, FileNamesAreShownAsUtf8) {
  struct Case {
    const char* name;
    const char* shown;
  };
  const Case cases[] = {
      {"song.mml", "song.mml"},
      {"曲.mml", "曲.mml"},        // UTF-8 names stay as they are
      {"\x8B\xC8.mml", "曲.mml"},  // a Shift-JIS name is converted
      {"\xFF.mml", "\\xFF.mml"},   // neither: the byte is shown escaped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(FileNameForDisplay(c.name), c.shown);
  }
}

TEST(SjisTest, LeadByteTestLooksAtOneByteOnly) {
  struct Case {
    uint8_t byte;
    bool lead;
  };
  const Case cases[] = {{0x80, false}, {0x81, true}, {0x9F, true},  {0xA0, false}, {0xDF, false},
                        {0xE0, true},  {0xEF, true}, {0xF0, false}, {0xFC, false}, {0x5C, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.byte);
    EXPECT_EQ(IsLeadByte(c.byte), c.lead);
  }
}

}  // namespace
