#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "core/compile_limits.h"
#include "core/sjis.h"
#include "frontend/repeats.h"

namespace {

// Expands with the whole budget of a compile.
std::string Expand(std::string& text) {
  FaultPlace place;
  return ExpandRepeats(text, kMaxExpandedBytes, place);
}

const char kNoOpener[] = "'|:'がありません。";
const char kNoCloser[] = "':|'がありません。";
const char kCountTooSmall[] = "'|:'のループ回数には２以上を指定してください。";
const char kTooLarge[] = "'|:'の展開後のデータが大きすぎます。";

struct RepeatCase {
  const char* text;
  const char* expanded;  // the text after the call
  const char* message;   // UTF-8; "" for success
};

const RepeatCase kRepeatCases[] = {
    // no marks
    {"", "", ""},
    {"CDE", "CDE", ""},
    {"C|D:E", "C|D:E", ""},
    // counts
    {"|:C:|", "CC", ""},
    {"|:3CD:|", "CDCDCD", ""},
    {"|:02C:|", "CC", ""},
    {"|:4C:|", "CCCC", ""},
    {"|:10C:|", "CCCCCCCCCC", ""},
    {"O4|:3C:|D", "O4CCCD", ""},
    // empty bodies
    {"|::|", "", ""},
    {"|:9:|", "", ""},
    {"|:99999999999:|", "", ""},
    // nesting and runs of openers
    {"|:|:C:|:|", "CCCC", ""},
    {"|:2|:3C:|:|", "CCCCCC", ""},
    {"|:2A|:3B:|C:|", "ABBBCABBBC", ""},
    {"|:A:||:B:|", "AABB", ""},
    // marks that meet after an expansion
    {"||::X:|", "|:X:X", kNoCloser},
    {"|:|:|X::|", "|X|XX:", ""},
    {"X||::|:|:Y:|", "X|:YY", kNoCloser},
    {"|:|:2:|5:|", "", ""},
    {"|:|:2:|1:|", "|:1:|", kCountTooSmall},
    // faults
    {"|:1C:|", "|:1C:|", kCountTooSmall},
    {"|:0C:|", "|:0C:|", kCountTooSmall},
    {"|:00:|", "|:00:|", kCountTooSmall},
    {"C:|", "C:|", kNoOpener},
    {"|:C", "|:C", kNoCloser},
    {":||:C", ":||:C", kNoCloser},
    {"|:|", "|:|", kNoCloser},
    {"|:C:|:|", "CC:|", kNoOpener},
    // the last opener is expanded first, so its fault wins over an earlier one
    {"|:1A:||:B", "|:1A:||:B", kNoCloser},
    {"|:1A:||:B:|", "|:1A:|BB", kCountTooSmall},
    // a count beyond 32 bits is taken as 2147483647
    {"|:99999999999C:|", "|:99999999999C:|", kTooLarge},
};

TEST(ExpandRepeatsTest, ExpandsAndReportsFaults) {
  for (const RepeatCase& c : kRepeatCases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    const std::string message = Expand(text);
    EXPECT_EQ(message, Sjis(c.message));
    EXPECT_EQ(text, c.expanded);
  }
}

TEST(ExpandRepeatsTest, LimitsTheExpandedTextTo16MiB) {
  std::string exact = "|:16777216C:|";
  EXPECT_EQ(Expand(exact), "");
  EXPECT_EQ(exact.size(), 16777216u);
  EXPECT_EQ(std::count(exact.begin(), exact.end(), 'C'), 16777216);

  // the text around the repeat counts too
  std::string over = "D|:16777215C:|DD";
  EXPECT_EQ(Expand(over), Sjis(kTooLarge));
  std::string under = "D|:16777215C:|";
  EXPECT_EQ(Expand(under), "");
  EXPECT_EQ(under.size(), 16777216u);

  // fails at the middle repeat, before anything large is built
  std::string nested = "|:9999|:9999|:9999C:|:|:|";
  EXPECT_EQ(Expand(nested), Sjis(kTooLarge));
  EXPECT_EQ(nested, "|:9999|:9999" + std::string(9999, 'C') + ":|:|");
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) {
    text += piece;
  }
  return text;
}

struct LargeCase {
  std::string text;
  const char* message;
  size_t size;  // of the text after the call, when the expansion succeeds
};

// Thousands of repeats in a row and deep runs of openers expand in one pass; a quadratic
// expansion would take hours here and run into the test timeout.
TEST(ExpandRepeatsTest, ManyRepeatsExpandInTimeProportionalToTheOutput) {
  const LargeCase kCases[] = {
      {Repeated("|:3CD:|E", 100000), "", 700000},
      {Repeated("|:", 100000) + Repeated(":|", 100000), "", 0},
      {Repeated("|:", 100000) + "C" + Repeated(":|", 100000), kTooLarge, 0},
      {Repeated("|:2C:|", 100000) + ":|", kNoOpener, 0},
  };
  for (const LargeCase& c : kCases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    std::string text = c.text;
    EXPECT_EQ(Expand(text), Sjis(c.message));
    if (*c.message == '\0') {
      EXPECT_EQ(text.size(), c.size);
    }
  }
}

// ---- The expansion as described, step by step, for the differential test ------------------

// Finds the last opener by scanning from the start; npos when there is none.
size_t ReferenceLastOpener(const std::string& text) {
  size_t latest = std::string::npos;
  for (size_t p = 0; p < text.size(); ++p) {
    if (text[p] != '|') {
      continue;
    }
    if (p > 0 && text[p - 1] == ':') {
      continue;
    }
    if (p + 1 >= text.size() || text[p + 1] != ':') {
      continue;
    }
    while (p + 3 < text.size() && text[p + 2] == '|' && text[p + 3] == ':') {
      p += 2;
    }
    latest = p;
  }
  return latest;
}

std::string ReferenceExpand(std::string& text) {
  for (;;) {
    const size_t opener = ReferenceLastOpener(text);
    if (opener == std::string::npos) {
      return text.find(":|") != std::string::npos ? Sjis(kNoOpener) : "";
    }
    const size_t closer = text.find(":|", opener + 2);
    if (closer == std::string::npos) {
      return Sjis(kNoCloser);
    }
    size_t bodyStart = opener + 2;
    uint64_t count = 0;
    while (bodyStart < text.size() && text[bodyStart] >= '0' && text[bodyStart] <= '9') {
      count = std::min<uint64_t>(count * 10 + (text[bodyStart] - '0'), 2147483647);
      ++bodyStart;
    }
    if (bodyStart == opener + 2) {
      count = 2;
    } else if (count < 2) {
      return Sjis(kCountTooSmall);
    }
    const std::string body = text.substr(bodyStart, closer - bodyStart);
    const std::string suffix = text.substr(closer + 2);
    if (opener + suffix.size() + body.size() * count > 16777216) {
      return Sjis(kTooLarge);
    }
    std::string expanded = text.substr(0, opener);
    for (uint64_t i = 0; i < count; ++i) {
      expanded += body;
    }
    text = expanded + suffix;
  }
}

void ExpectSameAsReference(const std::string& input) {
  std::string expected = input;
  const std::string expectedMessage = ReferenceExpand(expected);
  std::string actual = input;
  const std::string actualMessage = Expand(actual);
  if (actualMessage != expectedMessage || actual != expected) {
    ADD_FAILURE() << "input " << input << "\nexpected " << expected << "\nactual   " << actual;
  }
}

TEST(ExpandRepeatsTest, AgreesWithTheStepByStepExpansionOnEveryShortText) {
  const std::string alphabet = "|:0123C";
  std::string text;
  // every text of up to 6 bytes, counted like an odometer
  for (size_t length = 0; length <= 6; ++length) {
    std::vector<size_t> digits(length, 0);
    for (;;) {
      text.clear();
      for (size_t d : digits) {
        text += alphabet[d];
      }
      ExpectSameAsReference(text);
      size_t i = 0;
      while (i < length && ++digits[i] == alphabet.size()) {
        digits[i++] = 0;
      }
      if (i == length) {
        break;
      }
    }
  }
}

TEST(ExpandRepeatsTest, AgreesWithTheStepByStepExpansionOnRandomTexts) {
  // Marks weighted up so that most texts hold several of them.
  const std::string alphabet = "||||::::0123CC";
  std::mt19937 random(20240607);
  for (int i = 0; i < 100000; ++i) {
    const size_t length = 7 + random() % 14;
    std::string text;
    for (size_t k = 0; k < length; ++k) {
      text += alphabet[random() % alphabet.size()];
    }
    ExpectSameAsReference(text);
  }
}

}  // namespace
