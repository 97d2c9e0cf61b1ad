// Stems: each sounding part of a compiled tune rendered alone lines up with the whole tune and
// the stems mix to it within rounding.

#include "synth/stems.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "synth/mmf_render.h"
#include "tests/synth/audio_analysis.h"
#include "tests/temp_folder.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::vector<int16_t> Render(const RenderScore& score, const MutedParts& muted, bool trim) {
  RenderOptions options;
  options.muted = muted;
  options.trimSilence = trim;
  std::vector<int16_t> out;
  std::string error;
  EXPECT_TRUE(RenderPcm(score, options, out, error)) << error;
  return out;
}

TEST(StemsTest, StemsOfEverySoundingPartMixToTheWholeTune) {
  struct Case {
    const char* score;
    const char* parts;  // the stems' channels (1-16) or A
  };
  const Case cases[] = {
      // parts of different lengths and voices, one that only rests, and the audio track; the
      // twelve notes at once of parts 1-4 take voices from each other on the chips
      {"F[S8 A<a.adp>] A[T120 V12 L4 A R A]\n"
       "1[T120 @0 V9 O4 L8 CEGECEGE] 2[@24 V9 O3 L2 C G] 3[@40 V8 O5 L16 CDEFGAB>C]\n"
       "4[@56 V8 O4 L4 R R C] 5[V9 R1]",
       "1 2 3 4 A"},
      // the rhythm part of MA2 (channel 10) beside others
      {"1[T140 @0 V10 O5 L8 C D E] 10[N10 V10 O3 L8 C C C] 12[@80 V9 O4 L4 E]", "1 2 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    TempFolder folder;
    folder.Put("a.adp", std::string(2000, '\x17'));  // half a second at 8 kHz
    const std::string path = folder.Put("tune.mml", c.score);
    CompileOptions options;
    options.ma2 = true;
    FileCompileServices services;
    std::string log;
    ASSERT_EQ(CompileFile(path, options, log, services), CompileOutcome::kWritten) << log;
    const std::string mmf = ReadFile(folder.path + "/tune.MMF");
    RenderScore score;
    std::string error;
    ASSERT_TRUE(
        PlayableScore(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size(), score, error));

    const std::vector<int16_t> whole = Render(score, {}, true);
    std::string names;
    std::vector<int32_t> mix(whole.size(), 0);
    const std::vector<StemPart> parts = StemParts(score);
    for (const StemPart& part : parts) {
      names += (names.empty() ? "" : " ") + (part.channel == StemPart::kAudioTrack
                                                 ? std::string("A")
                                                 : std::to_string(part.channel + 1));
      std::vector<int16_t> stem = Render(score, part.others, false);
      EXPECT_GE(stem.size(), whole.size());
      stem.resize(whole.size());
      EXPECT_GT(LevelDb(stem, 0, stem.size()), -60) << "channel " << part.channel << " is silent";
      for (size_t i = 0; i < stem.size(); ++i) {
        mix[i] += stem[i];
      }
    }
    EXPECT_EQ(names, c.parts);
    // Each stem and the whole are rounded to whole samples once: the mix may differ by that.
    int worst = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      worst = std::max(worst, std::abs(mix[i] - whole[i]));
    }
    EXPECT_LE(worst, static_cast<int>(parts.size()))
        << "at a level of " << LevelDb(whole, 0, whole.size());
  }
}

}  // namespace
