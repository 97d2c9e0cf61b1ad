// Stems: each sounding part of a compiled tune, rendered alone, mixes with the others to the
// whole tune within rounding.

#include "synth/stems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "synth/mmf_render.h"
#include "tests/temp_folder.h"

namespace {

TEST(StemsTest, StemsOfEverySoundingPartMixToTheWholeTune) {
  struct Case {
    const char* score;  // MA2
    const char* parts;  // the stems: channels 1-16, A
  };
  const Case cases[] = {
      // the audio track, parts of other lengths and voices that take chip channels from each
      // other, and a part that only rests
      {"F[S8 A<a.adp>] A[T120 V12 L4 A R A] 1[T120 @0 V9 O4 L8 CEGECEGE] 2[@24 V9 O3 L2 C G]"
       "3[@40 V8 O5 L16 CDEFGAB>C] 4[@56 V8 O4 L4 R R C] 5[V9 R1]",
       "1 2 3 4 A"},
      // the rhythm part on channel 10
      {"1[T140 @0 V10 O5 L8 C D E] 10[N10 V10 O3 L8 C C C] 12[@80 V9 O4 L4 E]", "1 2 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    TempFolder folder;
    folder.Put("a.adp", std::string(2000, '\x17'));
    CompileOptions options;
    options.ma2 = true;
    FileCompileServices services;
    std::string text;
    ASSERT_EQ(CompileFile(folder.Put("tune.mml", c.score), options, text, services),
              CompileOutcome::kWritten);
    ASSERT_TRUE(services.ReadWholeFile(folder.path + "/tune.MMF", text));
    RenderScore score;
    ASSERT_TRUE(
        PlayableScore(reinterpret_cast<const uint8_t*>(text.data()), text.size(), score, text));
    std::vector<int16_t> whole;
    ASSERT_TRUE(RenderPcm(score, RenderOptions{}, whole, text));
    std::vector<int32_t> mix(whole.size(), 0);
    std::string names;
    for (const StemPart& part : StemParts(score)) {
      names += (names.empty() ? "" : " ") +
               (part.channel < 0 ? std::string("A") : std::to_string(part.channel + 1));
      RenderOptions alone;
      alone.muted = part.others;
      alone.trimSilence = false;
      std::vector<int16_t> stem;
      ASSERT_TRUE(RenderPcm(score, alone, stem, text));
      ASSERT_GE(stem.size(), whole.size());
      for (size_t i = 0; i < whole.size(); ++i) {
        mix[i] += stem[i];
      }
    }
    EXPECT_EQ(names, c.parts);
    // Each stem is rounded to whole samples once, and so is the whole tune.
    int worst = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      worst = std::max(worst, std::abs(mix[i] - whole[i]));
    }
    EXPECT_LE(worst, 5);
  }
}

}  // namespace
