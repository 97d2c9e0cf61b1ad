// Scores far larger than any ring tone still compile, and in time proportional to their size:
// a step that rescanned the text behind or ahead of it would take minutes here.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sequence/compiled_tracks.h"
#include "sequence/part_compiler.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(LargeScoreTest, ManyPortamentoGroupsInOnePart) {
  StageResult<SplitScore> split = SplitParts("1[O4" + Repeat("(CE)4D", 2000) + "]", kFormatMa2);
  ASSERT_TRUE(split.ok()) << split.fault().message;
  StageResult<CompiledTracks> tracks = CompileParts(split.value());
  ASSERT_TRUE(tracks.ok()) << tracks.fault().message;
  // Per group: 17 frequency events and one note; plus the defaults and the end.
  EXPECT_EQ(tracks.value().trackEvents[0].size(), 2000u * 18u + 3u);
  // The end: 4000 quarters of 1249984 fine units.
  EXPECT_EQ(tracks.value().trackEvents[0].back().time, 499994);
}

TEST(LargeScoreTest, LongSlurChainsInNormalMode) {
  // Every note of the chain asks whether a glide lies ahead in the chain.
  seqtest::Compiled r = seqtest::CompileOne(kFormatMa2, Repeat("C8&D8&", 20000) + "E");
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(r.Track(0).size(), 40001u + 3u);
}

TEST(LargeScoreTest, ALongSlurChainEndingInADetuneStepSoundsLegato) {
  seqtest::Compiled r = seqtest::CompileOne(kFormatMa2, Repeat("C8&D8&", 5000) + "@K4E");
  ASSERT_TRUE(r.ok) << r.Message();
  EXPECT_EQ(seqtest::Dump(r.Track(0), EV_NOTE), "");
}

}  // namespace
