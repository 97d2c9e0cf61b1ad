// The FM source's chip layout: the first chip is laid out for the tune so that a tune whose
// voices fit it never needs the second, and the layout decides only where a voice sounds.

#include "synth/fm_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A voice of `operators` operators (algorithm 0 or 7, every operator a carrier of the same
// sine), attack at once, held.
FmVoice Voice(int operators) {
  FmVoice voice;
  voice.fourOp = operators == 4;
  voice.algorithm = voice.fourOp ? 7 : 1;
  for (FmOperator& op : voice.operators) {
    op.multiple = 1;
    op.attackRate = 15;
    op.envelope = true;
  }
  return voice;
}

// Channels two semitones apart from A2 up, so that each shows alone in the spectrum. Low
// notes: the emulation outputs some operators a chip sample later than others, which makes the
// level of a high note depend a little on the chip channel it sounds on.
int NoteOf(int channel) { return 45 + 2 * channel; }

double HzOf(int channel) {
  const FNumber f = NoteFNumber(NoteOf(channel));
  return f.fnum * double{kChipRate} * std::exp2(f.block) / (1 << 20);
}

// Keys `fourOp` channels with a 4-operator voice and the next `twoOp` with a 2-operator one
// and returns the first `count` samples.
std::vector<int32_t> Play(FmEngine& engine, int fourOp, int twoOp, int count) {
  for (int channel = 0; channel < fourOp + twoOp; ++channel) {
    // Quiet enough that no chip's sum reaches its limit, which would make two chips differ
    // from one.
    engine.SetVolume(channel, 24);
    engine.KeyOn(channel, Voice(channel < fourOp ? 4 : 2), NoteFNumber(NoteOf(channel)));
  }
  std::vector<int32_t> mix(count);
  engine.Render(mix.data(), count);
  return mix;
}

// The amplitude of `hz` in `count` samples from `begin` (Hann window).
double Amplitude(const std::vector<int32_t>& s, size_t begin, size_t count, double hz) {
  double re = 0;
  double im = 0;
  for (size_t i = 0; i < count; ++i) {
    const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / count);
    const double angle = 2 * std::numbers::pi * hz * i / kChipRate;
    re += s[begin + i] * window * std::cos(angle);
    im += s[begin + i] * window * std::sin(angle);
  }
  return std::hypot(re, im) * 4 / count;
}

// The emulation outputs some operators a chip sample later than others, so the layouts are
// compared by the level of each note, not sample by sample.
TEST(FmEngineTest, TheTunesLayoutSoundsLikeTheDefaultOne) {
  struct Case {
    int fourOp;
    int twoOp;
    int pairs;  // of the first chip
  };
  const Case cases[] = {
      // All on the first chip.
      {0, 16, 0x00},
      {1, 16, 0x01},
      {6, 6, 0x3F},
      {2, 14, 0x03},
      // Too many for one chip: the default layout, the rest on the second chip.
      {7, 0, FmEngine::kDefaultFirstChipPairs},
      {3, 13, FmEngine::kDefaultFirstChipPairs},
  };
  constexpr int kWindow = 32768;
  constexpr int kSamples = 2000 + kWindow;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fourOp << " + " << c.twoOp);
    EXPECT_EQ(FmEngine::FirstChipPairs(c.fourOp, c.twoOp), c.pairs);
    const int channels = std::min(c.fourOp + c.twoOp, FmEngine::kChannels);
    const int twoOp = channels - c.fourOp;
    FmEngine laidOut(c.pairs);
    FmEngine byDefault;
    const std::vector<int32_t> a = Play(laidOut, c.fourOp, twoOp, kSamples);
    const std::vector<int32_t> b = Play(byDefault, c.fourOp, twoOp, kSamples);
    for (int channel = 0; channel < channels; ++channel) {
      SCOPED_TRACE(channel);
      const double level = Amplitude(a, 2000, kWindow, HzOf(channel));
      EXPECT_GT(level, 100);
      EXPECT_NEAR(level, Amplitude(b, 2000, kWindow, HzOf(channel)), level * 0.01);
    }
  }
}

}  // namespace
