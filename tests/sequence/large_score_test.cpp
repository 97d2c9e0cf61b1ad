// Scores far larger than any ring tone still compile, and in time proportional to their size:
// a step that rescanned the text behind or ahead of it would take minutes here.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/compiler.h"
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
  CMmlCompiler mc;
  mc.SetFormat(kFormatMa2);
  ASSERT_TRUE(mc.SplitParts("1[O4" + Repeat("(CE)4D", 2000) + "]")) << mc.GetErrorText();
  ASSERT_TRUE(mc.CompileParts()) << mc.GetErrorText();
  // Per group: 17 frequency events and one note; plus the defaults and the end.
  EXPECT_EQ(mc.m_trackEvents[0].size(), 2000u * 18u + 3u);
  // The end: 4000 quarters of 1249984 fine units.
  EXPECT_EQ(mc.m_trackEvents[0].back().time, 499994);
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

// The two threads of a long compile take its tracks as they go, so one may compile a single
// long track while the other compiles all the rest. Whoever takes which, the bytes are those
// of the compile in one.
TEST(LargeScoreTest, UnevenTracksCompileOnTwoThreadsAsInOne) {
  const std::string bar = "L8CD#EF.{GAB}4C&D&E(CE)4@K8C4@K0R8V12>C<C(G_C)8";
  // Bars per part, parts 1 to 16 (0: no part).
  const std::vector<std::vector<int>> layouts = {
      {40, 40, 40, 40, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // the first track long
      {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 90, 90, 0, 0},    // the last track long
      {60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2},     // two parts, far apart
      {5, 5, 5, 5, 30, 0, 0, 0, 5, 5, 5, 5, 0, 0, 0, 20},    // every track, unevenly
  };
  for (const std::vector<int>& bars : layouts) {
    std::string score;
    for (int part = 1; part <= 16; ++part) {
      if (bars[part - 1] > 0) {
        score += std::to_string(part) + "[@" + std::to_string(part - 1) + "O4" +
                 Repeat(bar, bars[part - 1]) + "]";
      }
    }
    SCOPED_TRACE(score.substr(0, 40));
    Bytes images[2];
    for (size_t halvesFrom : {size_t{0}, SIZE_MAX}) {
      CMmlCompiler mc;
      mc.SetFormat(kFormatMa2);
      mc.m_halvesFrom = halvesFrom;
      ASSERT_TRUE(mc.SplitParts(score) && mc.CompileParts()) << mc.GetErrorText();
      ASSERT_TRUE(mc.BuildMmf(images[halvesFrom == 0 ? 0 : 1], "uneven.mml"));
    }
    EXPECT_EQ(images[0], images[1]);
  }
}

}  // namespace
