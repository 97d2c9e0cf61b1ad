#include "core/text_functions.h"

#include <gtest/gtest.h>

namespace {

struct StripCase {
  const char* text;
  const char* stripped;
};

const StripCase kStripCases[] = {
    {" \t\r\n ", ""},
    {"C D\r\nE\nF", "CDEF"},
    // a white-space byte after a lead byte stays; later ones are still removed
    {"\x82\x20 C \x9F\x0A D",
     "\x82\x20"
     "C\x9F\x0A"
     "D"},
    {"\xE0\t", "\xE0\t"},
    // 0xF0-0xFC are not lead bytes
    {"\xF0 \xFC\r", "\xF0\xFC"},
    // long runs are read eight bytes at a time: white space inside and after whole words, a
    // control byte that is kept, and a lead byte before a space at a word's end
    {"1[CDEFGABCDEFGAB C\tDEFGABC]\r\n", "1[CDEFGABCDEFGABCDEFGABC]"},
    {"CDEFGABCDEFGABCD\x01"
     "EFGABCDEFGA \n",
     "CDEFGABCDEFGABCD\x01"
     "EFGABCDEFGA"},
    {"CDEFGAB\x82 CDEFGABC \x8B\n", "CDEFGAB\x82 CDEFGABC\x8B\n"},
};

TEST(StripWhitespaceTest, RemovesWhiteSpaceExceptAfterLeadBytes) {
  for (const StripCase& c : kStripCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StripWhitespace(c.text), c.stripped);
  }
}

struct NumberCase {
  const char* text;
  size_t start;
  int value;
  size_t cursor;
};

const NumberCase kNumberCases[] = {
    {"12X", 0, 12, 1},
    {"X", 0, -1, 0},
    {"C4", 2, -1, 2},
    {"0", 0, 0, 0},
    {"007", 0, 7, 2},
    {"-5", 0, -1, 0},
    {"C15D", 1, 15, 2},
    // runs beyond 32 bits saturate
    {"2147483647", 0, 2147483647, 9},
    {"99999999999999999999", 0, 2147483647, 19},
};

TEST(ReadNumberTest, ReadsDigitsAndLeavesTheCursorOnTheLast) {
  for (const NumberCase& c : kNumberCases) {
    SCOPED_TRACE(c.text);
    size_t cursor = c.start;
    EXPECT_EQ(ReadNumber(c.text, cursor), c.value);
    EXPECT_EQ(cursor, c.cursor);
  }
}

}  // namespace
