#include "core/score_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "core/source_position.h"
#include "core/utf8.h"

namespace {

struct EncodingCase {
  const char* name;
  std::string bytes;
  ScoreEncoding encoding;
  std::string text;     // what the compiler reads, when the conversion succeeds
  const char* message;  // the fault's message, or nullptr
};

const EncodingCase kEncodingCases[] = {
    // guessed
    {"ascii stays", "1[cde]", ScoreEncoding::kAuto, "1[cde]", nullptr},
    {"shift-jis stays", "C[ST:\x8B\xC8,]", ScoreEncoding::kAuto, "C[ST:\x8B\xC8,]", nullptr},
    {"utf-8 is converted", "C[ST:曲,]", ScoreEncoding::kAuto, "C[ST:\x8B\xC8,]", nullptr},
    {"half-width kana", "C[ST:ｵ,]", ScoreEncoding::kAuto, "C[ST:\xB5,]", nullptr},
    // a character after whole words of ASCII, and in the bytes after the last whole word
    {"utf-8 far in", "1[cdefg]C[ST:曲,ABCDEFGHIJ]", ScoreEncoding::kAuto,
     "1[cdefg]C[ST:\x8B\xC8,ABCDEFGHIJ]", nullptr},
    {"utf-8 at the end", "1[cdefgab]C[ST:曲", ScoreEncoding::kAuto, "1[cdefgab]C[ST:\x8B\xC8",
     nullptr},
    {"byte order mark goes",
     "\xEF\xBB\xBF"
     "1[c]",
     ScoreEncoding::kAuto, "1[c]", nullptr},
    {"mark and utf-8", "\xEF\xBB\xBF曲", ScoreEncoding::kAuto, "\x8B\xC8", nullptr},
    // well-formed UTF-8 with a three- or four-byte character is UTF-8: what CP932 lacks is
    // named; only two-byte sequences (Shift-JIS half-width kana "ﾃｩ" reads as "é") stay
    {"emoji without mark", "2[ \xF0\x9F\x8E\xB5 C ]", ScoreEncoding::kAuto, "",
     "1行4桁の文字 '\xF0\x9F\x8E\xB5' (U+1F3B5) はShift-JISに変換できません。"},
    {"accent beside kanji", "曲名：café 1[ C ]", ScoreEncoding::kAuto, "",
     "1行7桁の文字 'é' (U+00E9) はShift-JISに変換できません。"},
    {"two-byte pairs stay", "C[ST:\xC3\xA9,]", ScoreEncoding::kAuto, "C[ST:\xC3\xA9,]", nullptr},
    {"emoji with mark",
     "\xEF\xBB\xBF"
     "1[c]\r\nC[ST:a\xF0\x9F\x98\x80,]",
     ScoreEncoding::kAuto, "",
     "2行7桁の文字 '\xF0\x9F\x98\x80' (U+1F600) はShift-JISに変換できません。"},
    {"accent after kanji", "\xEF\xBB\xBF曲é", ScoreEncoding::kAuto, "",
     "1行2桁の文字 'é' (U+00E9) はShift-JISに変換できません。"},
    // told
    {"sjis keeps utf-8 bytes", "曲", ScoreEncoding::kShiftJis, "曲", nullptr},
    {"sjis keeps the mark",
     "\xEF\xBB\xBF"
     "1",
     ScoreEncoding::kShiftJis,
     "\xEF\xBB\xBF"
     "1",
     nullptr},
    {"utf-8 converts ascii", "1[c]", ScoreEncoding::kUtf8, "1[c]", nullptr},
    {"utf-8 refuses shift-jis", "1[c]\n\x8B\xC8", ScoreEncoding::kUtf8, "",
     "2行1桁のバイト 0x8B はUTF-8として読めません。"},
    {"utf-8 refuses a cut-off character", "曲\xE6\x9B", ScoreEncoding::kUtf8, "",
     "1行2桁のバイト 0xE6 はUTF-8として読めません。"},
};

TEST(ScoreEncodingTest, ConvertsOrNamesTheCharacterAtFault) {
  for (const EncodingCase& c : kEncodingCases) {
    SCOPED_TRACE(c.name);
    std::string text = c.bytes;
    EncodingFault fault;
    const bool ok = ToCompilerText(text, c.encoding, fault);
    EXPECT_EQ(ok, c.message == nullptr);
    if (ok) {
      EXPECT_EQ(text, c.text);
    } else {
      EXPECT_EQ(fault.message, c.message);
      EXPECT_EQ(text, c.bytes);  // unchanged, so the place can be shown
    }
  }
}

struct PositionCase {
  const char* name;
  std::string text;
  size_t offset;
  bool utf8;
  int line;
  int column;
  const char* lineText;
};

const PositionCase kPositionCases[] = {
    {"start", "abc", 0, false, 1, 1, "abc"},
    {"end of text", "abc", 3, false, 1, 4, "abc"},
    {"second line after CR LF", "ab\r\ncd", 5, false, 2, 2, "cd"},
    {"the line break itself", "ab\ncd", 2, false, 1, 3, "ab"},
    {"double-byte characters count once",
     "\x8B\xC8\x8B\xC8"
     "V16",
     5, false, 1, 4, "曲曲V16"},
    {"inside a double-byte character",
     "\x8B\xC8"
     "a",
     1, false, 1, 1, "曲a"},
    {"user-defined lead byte",
     "\xF0\x40"
     "a",
     2, false, 1, 2,
     "\xEE\x80\x80"
     "a"},
    {"tab counts once", "\tV", 1, false, 1, 2, "\tV"},
    {"utf-8 characters", "曲曲V16", 7, true, 1, 4, "曲曲V16"},
    {"utf-8 mark is no character",
     "\xEF\xBB\xBF"
     "ab",
     4, true, 1, 2, "ab"},
    {"utf-8 bad byte shown",
     "a\xFF"
     "b",
     2, true, 1, 3, "a\\xFFb"},
};

TEST(SourcePositionTest, CountsLinesAndCharacters) {
  for (const PositionCase& c : kPositionCases) {
    SCOPED_TRACE(c.name);
    SourcePosition at =
        c.utf8 ? PositionInUtf8(c.text, c.offset) : PositionInSjis(c.text, c.offset);
    EXPECT_EQ(at.line, c.line);
    EXPECT_EQ(at.column, c.column);
    EXPECT_EQ(at.lineText, c.lineText);
  }
}

TEST(Utf8Test, RejectsWhatIsNoCharacter) {
  struct Case {
    std::string bytes;
    size_t length;  // of the character at 0; 0 = none
  };
  const Case cases[] = {
      {"a", 1},
      {"\xC3\xA9", 2},
      {"\xE6\x9B\xB2", 3},
      {"\xF0\x9F\x98\x80", 4},
      {"\x80", 0},
      {"\xC0\xAF", 0},
      {"\xE0\x80\xAF", 0},      // overlong
      {"\xED\xA0\x80", 0},      // surrogate
      {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
      {"\xE6\x9B", 0},
      {"\xE6"
       "a"
       "\xB2",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(PrintableUtf8(c.bytes));
    Utf8Char decoded = DecodeUtf8(c.bytes, 0);
    EXPECT_EQ(decoded.length, c.length);
    if (decoded.length != 0) {
      EXPECT_EQ(EncodeUtf8(decoded.code), c.bytes);
    }
  }
}

}  // namespace
