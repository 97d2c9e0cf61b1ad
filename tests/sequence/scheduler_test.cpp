// The part scheduler: time order across slots, the shared tempo, track completion and the
// list of used voices. At T120 a quarter note is 125 ticks and sounds 123.

#include <gtest/gtest.h>

#include "core/sjis.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

using seqtest::CompileSlots;
using seqtest::Dump;
using seqtest::Part;

struct TempoScanCase {
  const char* text;
  size_t start;
  bool ok;
  int factor;  // tempoFactor afterwards
};

const TempoScanCase kTempoScanCases[] = {
    {"T60C", 0, true, 78125},
    {"T150T200C", 0, true, 23437},
    {"V10T240@V5C", 0, true, 19531},
    // stops at the next note or rest; a letter after "@" is none
    {"CT60", 0, true, 39062},
    {"RT60", 0, true, 39062},
    {"CT60D", 1, true, 78125},
    {"@CT60D", 1, true, 78125},
    {"HT60", 0, true, 39062},  // wave letters A-J end the scan too
    {"T60", 0, true, 78125},
    // a value the step will reject
    {"TC", 0, false, 39062},
    {"T0C", 0, false, 39062},
};

TEST(SchedulerTest, TempoScanAppliesTheTempoBeforeTheNextNote) {
  for (const TempoScanCase& c : kTempoScanCases) {
    SCOPED_TRACE(c.text);
    seqtest::TestCompiler mc;
    EXPECT_EQ(mc.ScanTempo(c.text, c.start), c.ok);
    EXPECT_EQ(mc.tempoFactor, c.factor);
  }
}

struct ScheduleCase {
  const char* name;
  int format;
  std::vector<Part> parts;
  int track;
  int only;  // 0: every event
  const char* events;
};

// clang-format off
const ScheduleCase kScheduleCases[] = {
    // the tempo pass at a time runs before any step at that time; the higher slot wins
    {"two tempos at once", kFormatMa2, {{0, "T60C", ""}, {1, "T240C", ""}}, 0, EV_NOTE,
     "t=0 NOTE[60,60] ch0 | t=0 NOTE[60,60] ch1"},
    {"tempo of a later slot", kFormatMa2, {{0, "T60C", ""}, {1, "C", ""}}, 0, EV_NOTE,
     "t=0 NOTE[60,248] ch0 | t=0 NOTE[60,248] ch1"},
    {"tempo of a lower slot", kFormatMa2, {{0, "C", ""}, {1, "T60C", ""}}, 0, EV_NOTE,
     "t=0 NOTE[60,248] ch0 | t=0 NOTE[60,248] ch1"},
    // a tempo change does not shorten a note that started earlier
    {"tempo change in time", kFormatMa2, {{0, "C2C", ""}, {1, "C4T240C", ""}}, 0, 0,
     "t=0 VOICE[0,0] ch0 | t=0 VOICE[0,0] ch1 | t=0 VOL[96] ch0 | t=0 VOL[96] ch1 | "
     "t=0 NOTE[60,248] ch0 | t=0 NOTE[60,123] ch1 | t=125 NOTE[60,60] ch1 | "
     "t=250 NOTE[60,60] ch0 | t=312 END ch0"},
    // events of one tick come out by kind, then channel, whatever the text order
    {"kinds at one tick", kFormatMa2, {{0, "C4C4", ""}, {1, "R4@M20P2X5V10@3", ""}}, 0, 0,
     "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | t=0 NOTE[60,123] ch0 | t=125 VOICE[3,0] ch1 | "
     "t=125 VOL[87] ch1 | t=125 EXPR[4,1] ch1 | t=125 PAN[127] ch1 | t=125 MOD[1,1] ch1 | "
     "t=125 NOTE[60,123] ch0 | t=250 END ch0"},
    // channel before creation order: channel 1's volume is made first
    {"channel order", kFormatMa1, {{0, "R4V5C", ""}, {1, "V6C", ""}}, 0, EV_VOLUME,
     "t=0 VOL[47] ch0 | t=0 VOL[55] ch1"},
    // track completion
    {"silent track", kFormatMa2, {{4, "R4V10", ""}}, 1, 0,
     "t=125 VOL[87] ch0 | t=125 END ch-1"},
    {"end after the longest slot", kFormatMa2, {{0, "C4", ""}, {1, "R1", ""}}, 0, EV_END_OF_TRACK,
     "t=500 END ch0"},
    {"end on the lowest sounding channel", kFormatMa2, {{4, "R4", ""}, {6, "C", ""}, {7, "D", ""}},
     1, EV_END_OF_TRACK, "t=125 END ch2"},
    {"MA1 defaults", kFormatMa1, {{0, "@3C", ""}, {1, "V5C", ""}, {2, "R", ""}}, 0, 0,
     "t=0 VOICE[3,0] ch0 | t=0 VOICE[0,0] ch1 | t=0 VOL[96] ch0 | t=0 VOL[47] ch1 | "
     "t=0 NOTE[60,123] ch0 | t=0 NOTE[60,123] ch1 | t=125 END ch0"},
    // a slot stepping alone stops where another slot's tempo applies
    {"alone until a tempo", kFormatMa2, {{0, "C8C8C8C8C8", ""}, {1, "R2T60C", ""}}, 0, EV_NOTE,
     "t=0 NOTE[60,60] ch0 | t=62 NOTE[60,60] ch0 | t=125 NOTE[60,60] ch0 | "
     "t=187 NOTE[60,60] ch0 | t=250 NOTE[60,123] ch0 | t=250 NOTE[60,248] ch1"},
    {"slots in time order", kFormatMa1, {{0, "C8C8C4", ""}, {1, "C4.C8", ""}}, 0, EV_NOTE,
     "t=0 NOTE[60,60] ch0 | t=0 NOTE[60,185] ch1 | t=62 NOTE[60,60] ch0 | "
     "t=125 NOTE[60,123] ch0 | t=187 NOTE[60,60] ch1"},
};
// clang-format on

TEST(SchedulerTest, CompilesSlotsInTimeOrderAndCompletesTracks) {
  for (const ScheduleCase& c : kScheduleCases) {
    SCOPED_TRACE(c.name);
    seqtest::Compiled r = CompileSlots(c.format, c.parts);
    ASSERT_TRUE(r.ok) << r.Message();
    EXPECT_EQ(Dump(r.Track(c.track), c.only), c.events);
  }
}

TEST(SchedulerTest, ATrackWithoutEventsGetsNoEnd) {
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{0, "C", ""}, {4, "R4", ""}});
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_TRUE(r.Track(1).empty());
  EXPECT_TRUE(r.Track(2).empty());
}

TEST(SchedulerTest, Ma1DefaultsLeaveTheStoredVoiceAndVolumeUnset) {
  seqtest::Compiled r = CompileSlots(kFormatMa1, {{0, "@3C", ""}, {1, "V5C", ""}});
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(r.mc->tracks.usedVoices, (std::vector<int>{0, 3}));
  EXPECT_EQ(r.mc->tracks.channelVoice[0], 3);
  EXPECT_EQ(r.mc->tracks.channelVoice[1], -1);
  EXPECT_EQ(r.mc->slots[0].channelVolume, -1);
  EXPECT_EQ(r.mc->slots[1].channelVolume, 47);
}

TEST(SchedulerTest, Ma1CompilesSlotsZeroToThreeOnly) {
  // Slot 4 and the ADPCM part would fail if they were compiled.
  seqtest::Compiled r =
      CompileSlots(kFormatMa1, {{0, "C", ""}, {4, "V16", ""}, {kAdpcmSlot, "B4", ""}});
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_TRUE(r.Track(1).empty());
  EXPECT_TRUE(r.mc->tracks.adpcmEvents.empty());
}

TEST(SchedulerTest, TheAdpcmPartEndsAfterItsLastNoteOrRest) {
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{0, "C1", ""}, {kAdpcmSlot, "R4R8", ""}});
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(Dump(r.mc->tracks.adpcmEvents), "t=187 END ch0");
  EXPECT_EQ(Dump(r.Track(0), EV_END_OF_TRACK), "t=500 END ch0");
}

TEST(SchedulerTest, UsedVoicesAreSortedOnce) {
  // Appended in the order 5, 256, 3, 5.
  seqtest::Compiled r = CompileSlots(kFormatMa2, {{0, "@5C@3C@5C", ""}, {1, "@0C", ""}},
                                     [](PartCompiler& mc) { mc.score.fourOpPart[1] = 1; });
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(r.mc->tracks.usedVoices, (std::vector<int>{3, 5, 256}));
}

TEST(SchedulerTest, TheFirstFailingStepEndsTheCompile) {
  // Slot 0 fails at time 125, after slot 1 has compiled its first note at time 0; slot 2's
  // fault at time 250 is never reached.
  seqtest::Compiled r =
      CompileSlots(kFormatMa2, {{0, "C4V16", ""}, {1, "C4C4", ""}, {2, "C2V16", "3"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.mc->fault.message, Sjis("1パート 'V'には 0～15 を設定してください。"));
}

TEST(SchedulerTest, AnEmptyScoreCompiles) {
  seqtest::Compiled r = CompileSlots(kFormatMa2, {});
  ASSERT_TRUE(r.ok) << r.Message();
  for (int t = 0; t < 4; ++t) {
    EXPECT_TRUE(r.Track(t).empty());
  }
  EXPECT_TRUE(r.mc->tracks.usedVoices.empty());
}

}  // namespace
