#include "frontend/contents_part.h"

#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "tests/test_util.h"

namespace {

const char kNotation[] = "Cパート内の表記方法に誤りがあります。";
const char kColon[] = "Cパート内の表記に誤りがあります。";
const char kHex[] = "Cパート内の16進数の表記方法に誤りがあります。";

struct ContentsCase {
  const char* text;
  const char* options;  // the option bytes on success
};

const ContentsCase kContentsCases[] = {
    // no fields
    {"", ""},
    {" \r\n\t", ""},
    // fields copied as written; blanks between fields skipped, inside values kept
    {"ST:My Song,", "ST:My Song,"},
    {" \r\nST:x,\r\n AN:y,\t", "ST:x,AN:y,"},
    {"ST:a b,", "ST:a b,"},
    {"ST:a\r\nb\tc,", "ST:abc,"},
    {"st:lower,12:digits,", "st:lower,12:digits,"},
    {"ST:,", "ST:,"},
    // escapes
    {"CR:A\\,B,", "CR:A\\,B,"},
    {"ST:[live\\],", "ST:[live],"},
    {"ST:\\x41\\x42,", "ST:AB,"},
    {"ST:\\X7e,", "ST:\x7E,"},
    {"ST:\\xaf\\x0b,", "ST:\xAF\x0B,"},
    {"ST:\\x5C,", "ST:\\,"},
    {"ST:a\\b,", "ST:ab,"},
    // a doubled backslash leaves nothing; a third one escapes what follows
    {"ST:a\\\\b,", "ST:ab,"},
    {"ST:a\\\\\\],", "ST:a],"},
    {"ST:a\\\\\\\\],",
     "ST:a]" /* the "]" is plain, the value goes on */ ","},
    // the same at the first byte a value can have
    {"ST:\\\\x41,", "ST:x41,"},
    {"ST:\\\\\\x41,", "ST:A,"},
    // a double-byte character whose second byte is 0x5C is copied whole and escapes nothing
    {"ST:\x95\x5C,", "ST:\x95\x5C,"},
    {"ST:\x95\x5C\\],", "ST:\x95\x5C],"},
    // "ソ" then an escape, and then a doubled backslash
    {"ST:\x83\x5C\\x41,",
     "ST:\x83\x5C"
     "A,"},
    {"ST:\x83\x5C\\\\x41,",
     "ST:\x83\x5C"
     "x41,"},
    {"ST:\x82\xA0\x82\xA2,", "ST:\x82\xA0\x82\xA2,"},
};

TEST(ParseContentsTest, CopiesFieldsAndResolvesEscapes) {
  for (const ContentsCase& c : kContentsCases) {
    SCOPED_TRACE(c.text);
    const StageResult<Bytes> options = ParseContents(c.text);
    ASSERT_TRUE(options.ok()) << SjisToUtf8(options.fault().message);
    EXPECT_EQ(HexDump(options.value()), HexDump(std::string(c.options)));
  }
}

struct FaultCase {
  const char* text;
  const char* message;
};

const FaultCase kFaultCases[] = {
    // a value without its closing comma
    {"ST:abc", kNotation},
    {"ST:a\\,b", kNotation},
    {"ST:a\\", kNotation},
    {"ST:\x82", kNotation},
    {"ST:x,AN:", kNotation},
    // tags of other bytes or other lengths
    {"S-:x,", kNotation},
    {"S :x,", kNotation},
    {"-T:x,", kNotation},
    {"\x82\xA0:x,", kNotation},
    {"STX:x,", kColon},
    {"ST :x,", kColon},
    {"ST", kColon},
    {"S", kColon},
    {"ST:x,A", kColon},
    // hexadecimal escapes
    {"ST:\\x4G,", kHex},
    {"ST:\\xZ1,", kHex},
    {"ST:\\x4", kHex},
    {"ST:\\x", kHex},
};

TEST(ParseContentsTest, ReportsTheFirstFault) {
  for (const FaultCase& c : kFaultCases) {
    SCOPED_TRACE(c.text);
    const StageResult<Bytes> options = ParseContents(c.text);
    EXPECT_FALSE(options.ok());
    EXPECT_EQ(options.fault().message, Sjis(c.message));
  }
}

// Each backslash of a long run looks at the run before it; walking the run back for every
// backslash would take hours here and run into the test timeout.
TEST(ParseContentsTest, LongBackslashRunsTakeTimeProportionalToTheirLength) {
  struct LargeCase {
    std::string text;
    std::string options;
  };
  const std::string run(4000000, '\\');
  const LargeCase cases[] = {
      // a doubled backslash leaves nothing
      {"ST:" + run + "],", "ST:],"},
      // an odd run: the last backslash escapes the "]"
      {"ST:" + run + "\\],AN:a\\b,", "ST:],AN:ab,"},
      // a double-byte character ends the run: its second byte counts for nothing
      {"ST:" + run + "\x95\\\\],", "ST:\x95\\],"},
  };
  for (const LargeCase& c : cases) {
    const StageResult<Bytes> options = ParseContents(c.text);
    ASSERT_TRUE(options.ok()) << SjisToUtf8(options.fault().message);
    EXPECT_EQ(HexDump(options.value()), HexDump(c.options));
  }
}

}  // namespace
