#include "job/diagnostic.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

struct DiagnosticCase {
  const char* lineText;
  int column;
  const char* caretLine;
};

// The caret stands under the column in a terminal: tabs are kept, wide characters take two
// cells, half-width kana one.
const DiagnosticCase kCases[] = {
    {"1[V16C]", 4, "    ^"},
    {"\t1[V16C]", 5, " \t   ^"},
    {"曲 1[V16]", 6, "       ^"},
    {"ｵｸ1[V16]", 5, "     ^"},
    {"1[C]", 5, "     ^"},  // just after the end of the line
    // the first characters of the compatibility ideographs and of the supplementary plane
    {"\uF9001[V16]", 5, "      ^"},
    {"\U000200001[V16]", 5, "      ^"},
};

TEST(DiagnosticTest, CaretStandsUnderTheColumn) {
  for (const DiagnosticCase& c : kCases) {
    SCOPED_TRACE(c.lineText);
    FaultLocation fault;  // filled field by field: GCC 12 -O3 warns falsely on the nested aggregate
    fault.path = "dir/a b.mml";
    fault.position = {3, c.column, c.lineText};
    fault.message = "1パート 'V'には 0～15";
    EXPECT_EQ(FormatDiagnostic(fault), "dir/a b.mml:3:" + std::to_string(c.column) +
                                           ": error: 1パート 'V'には 0～15\n " + c.lineText + "\n" +
                                           c.caretLine + "\n");
  }
}

// The first line is what Vim's default 'errorformat' (%f:%l:%c: %m), Emacs' compilation mode
// and VS Code's $gcc problem matcher read.
TEST(DiagnosticTest, FirstLineHasTheCompilerForm) {
  FaultLocation fault;
  fault.path = "/tmp/曲.mml";
  fault.position = {12, 7, "x"};
  fault.message = "Dパート '@L'には 0 ～ 3、16 ～ 19 を設定してください。";
  const std::string text = FormatDiagnostic(fault);
  const std::string first = text.substr(0, text.find('\n'));
  std::smatch m;
  ASSERT_TRUE(
      std::regex_match(first, m, std::regex(R"(^(.*):(\d+):(\d+):\s+(warning|error):\s+(.*)$)")));
  EXPECT_EQ(m[1], "/tmp/曲.mml");
  EXPECT_EQ(m[2], "12");
  EXPECT_EQ(m[3], "7");
  EXPECT_EQ(m[4], "error");
  EXPECT_EQ(m[5], fault.message);
}

}  // namespace
