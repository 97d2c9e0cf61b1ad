#include "sequence/step_support.h"

#include <gtest/gtest.h>

namespace {

struct SlurCase {
  const char* text;  // the part text after a note's length
  bool slurred;
  bool needsFrequency;
};

// clang-format off
const SlurCase kSlurCases[] = {
    // a slur reaches the next note or rest, across commands
    {"&D4", true, false},
    {"&V10D4", true, false},
    {"&R4", true, false},
    {"V10&D", true, false},
    {"&", false, false},      // a final "&" slurs nothing
    {"", false, false},
    {"V10D&E", false, false},
    {"&@V5D", true, false},
    {"@C&D", true, false},    // a letter right after "@" starts no note
    // frequency mode: a glide or a detune step before a later note of the chain
    {"&(DE)4", true, true},
    {"&@K4D", true, true},
    {"&@K~D", true, true},
    {"&@K-4D", true, true},
    {"&@K0D", true, false},
    {"&@K-0D", true, false},
    {"&D&@K4E", true, true},
    {"&D&E&F&(GA)", true, true},
    {"&D@K4E", true, false},  // the chain ends at D
    {"&D(EF)", true, false},
    {"&@K4", false, false},   // no later note
};
// clang-format on

TEST(StepSupportTest, FindsSlursAndChainsThatNeedFrequencyMode) {
  for (const SlurCase& c : kSlurCases) {
    SCOPED_TRACE(c.text);
    std::string text = std::string("C") + c.text;
    size_t stop = 0;
    EXPECT_EQ(IsSlurred(text, 1), c.slurred);
    EXPECT_EQ(SlurChainNeedsFrequency(text, 1, stop), c.needsFrequency);
  }
}

TEST(StepSupportTest, AChainScanStopsAtTheNoteThatEndsTheChain) {
  const std::string text = "C&D&EF&G";
  size_t stop = 0;
  EXPECT_FALSE(SlurChainNeedsFrequency(text, 1, stop));
  EXPECT_EQ(stop, text.find('F'));
  EXPECT_FALSE(SlurChainNeedsFrequency(text, 6, stop));
  EXPECT_EQ(stop, text.size());
}

TEST(StepSupportTest, SlotTimeIsHeldBelowOverflow) {
  constexpr int64_t kLimit = int64_t{1} << 62;
  EXPECT_EQ(AdvanceTime(0, 1249984), 1249984);
  EXPECT_EQ(AdvanceTime(kLimit - 5, 10), kLimit);
  EXPECT_EQ(AdvanceTime(kLimit, int64_t{1} << 53), kLimit);
}

}  // namespace
