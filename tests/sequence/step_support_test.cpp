#include "sequence/step_support.h"

#include <gtest/gtest.h>

#include "tests/sequence/sequence_test_util.h"

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

TEST(StepSupportTest, LookAheadTellsOfATempoBeforeTheNextNote) {
  struct Case {
    const char* text;
    bool tempo;
    size_t next;
  };
  const Case kCases[] = {{"C4&D", false, 3},
                         {"C4T90&D", true, 6},
                         {"C@T90@DT", true, 8},
                         {"C4V10", false, 5},
                         {"CT", true, 2}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    const NoteLookAhead ahead = LookAhead(c.text, 1);
    EXPECT_EQ(ahead.tempo, c.tempo);
    EXPECT_EQ(ahead.next, c.next);
  }
}

struct HeldNoteCase {
  const char* name;
  int64_t heldStart;  // fine units
  int64_t time;       // slot time of the next note
  int number;         // the next note: 60 continues the held C, another number ends it
  int64_t length;
  int gate;
  int duration;  // the held event's duration afterwards, ticks
};

// clang-format off
const HeldNoteCase kHeldNoteCases[] = {
    // another note: the held one sounds 2 ticks into it
    {"released", 0, 1249984, 62, 1249984, 8, 127},
    // the end of a tie: to the gate end of the last note, less 2 ticks
    {"tie at Q8", 0, 1249984, 60, 1249984, 8, 248},
    {"tie at Q3", 0, 1249984, 60, 1249984, 3, 170},
    // the gate part, the slot time and the start are added and subtracted in that order in
    // doubles: past 2^53 fine units the order decides the rounding (35000, not 34998)
    {"tie past 2^53", (int64_t{1} << 54) - 20000, int64_t{1} << 54, 60, 14998, 8, 2},
};
// clang-format on

TEST(StepSupportTest, PatchesTheHeldNote) {
  for (const HeldNoteCase& c : kHeldNoteCases) {
    SCOPED_TRACE(c.name);
    seqtest::TestCompiler mc;
    mc.slots[0].gate = c.gate;
    mc.slots[0].heldNote = 60;
    mc.slots[0].heldStart = c.heldStart;
    mc.slots[0].heldEvent = EmitEvent(mc, 0, 0, EV_NOTE, {60, 0});
    SequenceNote note;
    note.number = c.number;
    note.length = c.length;
    int64_t time = c.time;
    EmitNormalNote(mc, 0, note, time);
    EXPECT_EQ(mc.tracks.trackEvents[0].begin()->params[1], c.duration);
    EXPECT_EQ(mc.slots[0].heldNote, -1);
  }
}

TEST(StepSupportTest, SlotTimeIsHeldBelowOverflow) {
  constexpr int64_t kLimit = int64_t{1} << 62;
  EXPECT_EQ(AdvanceTime(0, 1249984), 1249984);
  EXPECT_EQ(AdvanceTime(kLimit - 5, 10), kLimit);
  EXPECT_EQ(AdvanceTime(kLimit, int64_t{1} << 53), kLimit);
}

}  // namespace
