// The FM source against the numbers it must produce: pitch, envelope times from the chip's
// rate table, the sustain flag, and 4- against 2-operator voices.

#include "synth/renderer.h"

#include <gtest/gtest.h>

#include <string>

#include "synth/opl3_chip.h"
#include "tests/synth/audio_analysis.h"

namespace {

// A carrier-only sine: operator 1 silent (total level 63), operator 2 at full level.
FmVoice SineVoice() {
  FmVoice voice;
  voice.operators[0].multiple = 1;
  voice.operators[0].totalLevel = 63;
  voice.operators[0].attackRate = 15;
  FmOperator& carrier = voice.operators[1];
  carrier.multiple = 1;
  carrier.attackRate = 15;
  carrier.releaseRate = 15;
  carrier.envelope = true;
  return voice;
}

// One note of `voice` from 0 to `gateMs` on channel 0, at `pitch`, at full volume.
RenderScore OneNote(const FmVoice& voice, FNumber pitch, double gateMs) {
  RenderScore score;
  score.voices.push_back(voice);
  score.events.push_back({0, RenderEventKind::kVolume, 0, -1, -1, {}, 127});
  score.events.push_back({0, RenderEventKind::kKeyOn, 0, 0, 1, pitch, 0});
  score.events.push_back({gateMs, RenderEventKind::kKeyOff, 0, -1, 1, {}, 0});
  score.endMs = gateMs;
  return score;
}

std::vector<int16_t> Render(const RenderScore& score, int rate) {
  RenderOptions options;
  options.rate = rate;
  std::vector<int16_t> out;
  std::string error;
  EXPECT_TRUE(RenderPcm(score, options, out, error)) << error;
  return out;
}

size_t At(double ms, int rate) { return static_cast<size_t>(ms * rate / 1000); }

struct PitchCase {
  int note;
  double maxCents;  // from equal temperament on A4 = 440 Hz
};
const PitchCase kPitchCases[] = {
    {69, 2.0},  // A4 is exact
    {57, 2.0},  // A3, another block
    {60, 2.6},  // C4: the top of the block below
    {64, 2.6},  // E4
    {71, 2.6},  // B4
};

TEST(RendererTest, NotesSoundAtTheirPitch) {
  for (const PitchCase& c : kPitchCases) {
    SCOPED_TRACE(c.note);
    const std::vector<int16_t> out = Render(OneNote(SineVoice(), NoteFNumber(c.note), 600), 44100);
    const double hz = MeasureHz(out, 44100, At(100, 44100), At(500, 44100));
    const double expected = 440 * std::exp2((c.note - 69) / 12.0);
    EXPECT_LT(std::abs(Cents(hz, expected)), c.maxCents) << hz;
  }
}

// Envelope times of the chip's rate table at rate offset 0 (ms): attack 0-100%, decay and
// release 0-96 dB. With key scale rate off a note of block b adds b / 2 to four times the
// rate, which shortens the time by the factor 4 / (4 + b / 2).
constexpr double kAttackMs[16] = {0,     2826.24, 1413.12, 706.56, 353.28, 176.64, 88.32, 44.16,
                                  22.08, 11.04,   5.52,    2.76,   1.40,   0.70,   0.38,  0};
constexpr double kReleaseMs[16] = {0,     39280, 19640, 9820, 4910, 2455, 1227.5, 613.7,
                                   306.9, 153.4, 76.7,  38.4, 19.2, 9.6,  4.8,    2.4};

struct EnvelopeCase {
  int attackRate;
  int releaseRate;
  int block;
  int multiple;  // keeps the tone high enough for short level windows
};
const EnvelopeCase kEnvelopeCases[] = {
    {6, 7, 4, 2},
    {5, 8, 2, 8},
    {7, 6, 1, 15},
};

TEST(RendererTest, AttackAndReleaseTakeTheRateTablesTime) {
  for (const EnvelopeCase& c : kEnvelopeCases) {
    SCOPED_TRACE(testing::Message() << "AR " << c.attackRate << " RR " << c.releaseRate);
    FmVoice voice = SineVoice();
    voice.operators[1].attackRate = c.attackRate;
    voice.operators[1].releaseRate = c.releaseRate;
    voice.operators[1].multiple = c.multiple;
    const double factor = 4.0 / (4 + c.block / 2);
    const double gateMs = kAttackMs[c.attackRate] * factor + 300;
    const FNumber pitch{580, c.block};
    const std::vector<int16_t> out = Render(OneNote(voice, pitch, gateMs), kChipRate);
    // Levels over two whole periods, 1 ms apart. The attack ends where the level first comes
    // within 0.1 dB of the held one.
    const auto window =
        static_cast<size_t>(std::lround(2 * kChipRate / FNumberHz(pitch) / c.multiple));
    const double held = LevelDb(out, At(gateMs - 50, kChipRate), window);
    double attackMs = 0;
    while (LevelDb(out, At(attackMs, kChipRate), window) < held - 0.1) {
      ++attackMs;
    }
    const double attackExpected = kAttackMs[c.attackRate] * factor;
    EXPECT_NEAR(attackMs + window * 500.0 / kChipRate, attackExpected, attackExpected * 0.1);
    // The release falls linearly in dB: its slope between 10 and 40 dB down gives the time
    // for 96 dB.
    size_t down10 = At(gateMs, kChipRate);
    while (LevelDb(out, down10, window) > held - 10) {
      down10 += window / 4;
    }
    size_t down40 = down10;
    while (LevelDb(out, down40, window) > held - 40) {
      down40 += window / 4;
    }
    const double releaseMs = 96.0 / 30.0 * static_cast<double>(down40 - down10) * 1000 / kChipRate;
    const double expected = kReleaseMs[c.releaseRate] * factor;
    EXPECT_NEAR(releaseMs, expected, expected * 0.1);
  }
}

TEST(RendererTest, SustainFlagHoldsTheNoteAndReleasesSlowly) {
  for (bool sustain : {false, true}) {
    SCOPED_TRACE(sustain);
    FmVoice voice = SineVoice();
    voice.operators[1].sustain = sustain;
    voice.operators[1].decayRate = 4;
    voice.operators[1].sustainLevel = 2;  // 6 dB down, then held while keyed
    const std::vector<int16_t> out = Render(OneNote(voice, {580, 4}, 400), kChipRate);
    const size_t window = At(5, kChipRate);
    const double early = LevelDb(out, At(200, kChipRate), window);
    const double late = LevelDb(out, At(390, kChipRate), window);
    EXPECT_NEAR(late, early, 0.5);  // held until the gate ends
    const double after = LevelDb(out, At(500, kChipRate), window);
    if (sustain) {
      // Rate 4 at block 4 falls 96 dB in about 3.3 s: some 3 dB in 100 ms.
      EXPECT_NEAR(late - after, 96 * 100 / (kReleaseMs[4] * 4 / 6), 1.5);
    } else {
      EXPECT_LT(after, late - 60);  // release rate 15
    }
  }
}

TEST(RendererTest, FourOperatorVoiceSoundsDifferentFromTwoOperatorVoice) {
  FmVoice two = SineVoice();
  two.operators[0].totalLevel = 20;  // operator 1 modulates operator 2
  FmVoice four;
  four.fourOp = true;
  four.algorithm = 4;  // 1 -> 2 -> 3 -> 4
  for (int k = 0; k < 4; ++k) {
    four.operators[k] = two.operators[1];
    four.operators[k].totalLevel = k == 3 ? 0 : 24;
  }
  std::vector<std::vector<double>> profiles;
  for (const FmVoice& voice : {two, four}) {
    const std::vector<int16_t> out = Render(OneNote(voice, {580, 4}, 300), 44100);
    EXPECT_GT(LevelDb(out, At(50, 44100), At(200, 44100)), -40);
    profiles.push_back(HarmonicProfile(out, 44100, 440, At(50, 44100), At(250, 44100), 10));
  }
  double difference = 0;
  for (int h = 0; h < 10; ++h) {
    difference += std::abs(profiles[0][h] - profiles[1][h]);
  }
  EXPECT_GT(difference, 0.2);
}

}  // namespace
