#include "sequence/length_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kTempo120 = 39062;
constexpr int64_t kQuarter = 1249984;  // trunc(320000 * 3.9062)

struct LengthCase {
  const char* text;
  int64_t length;
  LengthFault fault;
  size_t end;  // cursor after the length
};

const LengthCase kLengthCases[] = {
    // omitted, values, dots
    {"", kQuarter, LengthFault::kNone, 0},
    {"4", kQuarter, LengthFault::kNone, 1},
    {"4.", kQuarter + 624992, LengthFault::kNone, 2},
    {"4..", kQuarter + 624992 + 312496, LengthFault::kNone, 3},
    {"3", 1666642, LengthFault::kNone, 1},  // trunc(426666 * 3.9062)
    // ticks and 192ths
    {"*96", 960000, LengthFault::kNone, 3},
    {"%48", kQuarter, LengthFault::kNone, 3},
    // ties
    {"4^8", kQuarter + 624992, LengthFault::kNone, 3},
    {"4^", 2 * kQuarter, LengthFault::kNone, 2},
    // faults
    {"0", 0, LengthFault::kValueZero, 0},
    {"*", 0, LengthFault::kTicksMissing, 0},
    {"*0", 0, LengthFault::kTicksZero, 0},
    {"%", 0, LengthFault::kPercentMissing, 0},
    {"%0", 0, LengthFault::kPercentZero, 0},
};

TEST(LengthReaderTest, ReadsValuesDotsAndTies) {
  for (const LengthCase& c : kLengthCases) {
    SCOPED_TRACE(c.text);
    size_t cursor = 0;
    LengthResult r = ReadLength(c.text, cursor, kQuarter, kTempo120);
    EXPECT_EQ(r.fault, c.fault);
    if (c.fault == LengthFault::kNone) {
      EXPECT_EQ(r.length, c.length);
      EXPECT_EQ(cursor, c.end);
    }
  }
}

TEST(LengthReaderTest, TellsAFaultInATieFromOneInTheFirstValue) {
  size_t cursor = 0;
  EXPECT_TRUE(ReadLength("4^0", cursor, kQuarter, kTempo120).faultInTie);
  cursor = 0;
  EXPECT_FALSE(ReadLength("0^4", cursor, kQuarter, kTempo120).faultInTie);
}

TEST(LengthReaderTest, LongTickCountsDoNotWrap) {
  size_t cursor = 0;
  EXPECT_EQ(ReadLength("*300000", cursor, 0, kTempo120).length, int64_t{3000000000});
}

TEST(LengthReaderTest, HoldsHugeTieChainsBelowOverflow) {
  // At T1 each value is about 6.7e15 fine units; 1500 of them would pass the 64-bit range.
  std::string text = "%2147483647";
  for (int i = 0; i < 1500; ++i) {
    text += "^%2147483647";
  }
  size_t cursor = 0;
  LengthResult r = ReadLength(text, cursor, 0, 4687500);
  EXPECT_EQ(r.fault, LengthFault::kNone);
  EXPECT_EQ(r.length, int64_t{1} << 53);
  EXPECT_EQ(cursor, text.size());
}

TEST(LengthReaderTest, SkipsAGroupLengthWithoutEvaluatingIt) {
  const char* texts[] = {"*96.^%4^8..C", "4C", "C", "0^^C"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    size_t cursor = 0;
    SkipLength(text, cursor);
    EXPECT_EQ(text[cursor], 'C');
  }
}

TEST(LengthReaderTest, RoundsHalvesUp) {
  EXPECT_EQ(RoundHalfUp(2.5), 3);
  EXPECT_EQ(RoundHalfUp(-2.5), -2);
  EXPECT_EQ(RoundHalfUp(-2.7), -3);
  EXPECT_EQ(TicksOf(1249984), 125);
  // Around zero and where doubles stop having fractions, the hand-made floor agrees with floor.
  for (double x : {-0.5, -0.49, 0.49, -1.5, 4503599627370495.5, -4503599627370495.5, 9.1e15,
                   -9.1e15, 4.6e18, -4.6e18}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(RoundHalfUp(x), static_cast<int64_t>(std::floor(x + 0.5)));
  }
}

// Integer rounding of ticks and gates must give what the doubles give for every value: near
// each half way point, where the doubles' errors would tell first, up to the largest values
// rounded in integers and past them.
TEST(LengthReaderTest, RoundsQuotientsAsTheDoublesDo) {
  auto doubles = [](int64_t value, double scale) {
    return RoundHalfUp(static_cast<double>(value) * scale);
  };
  // Up to 2^43 in integers; from 2^53 on, a double no longer holds every value, and integers
  // would round otherwise.
  std::vector<int64_t> bases = {0, 1, 7, 1249984, -80000};
  for (int shift : {40, 43, 50, 53, 60}) {
    bases.push_back(int64_t{1} << shift);
    bases.push_back((int64_t{1} << shift) - (int64_t{1} << shift) % 80000);
  }
  for (int64_t power = 1; power < (int64_t{1} << 43); power *= 3) {
    bases.push_back(power - power % 80000);
  }
  for (int64_t base : bases) {
    for (int64_t offset : {-40001, -40000, -39999, -5001, -5000, -4999, 0, 4999, 5000, 5001, 39999,
                           40000, 40001, 79999}) {
      const int64_t value = base + offset;
      SCOPED_TRACE(value);
      EXPECT_EQ(TicksOf(value), doubles(value, 0.0001));
      EXPECT_EQ(GateTicks(1, value), doubles(value, 0.0000125));
    }
  }
}

}  // namespace
