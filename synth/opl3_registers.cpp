#include "synth/opl3_registers.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "synth/opl3_chip.h"

namespace {

constexpr std::array<double, 4> kLfoRatesHz = {1.8, 4.0, 5.9, 7.0};
constexpr std::array<double, 4> kTremoloDepthsDb = {1.3, 2.8, 5.8, 11.8};
constexpr std::array<double, 4> kVibratoDepthsCents = {3.4, 6.7, 13.5, 26.8};

// F-numbers of C to B. C sits at the top of the block below (689 there is 344.5 here), so
// that every note of an octave shares one block number except C.
constexpr std::array<int, 12> kNoteFNumbers = {689, 365, 387, 410, 434, 460,
                                               487, 516, 547, 580, 614, 651};
constexpr int kLeftOutput = 0x10;
constexpr int kMaxVolume = 127;

}  // namespace

int OperatorFlagsRegister(const FmOperator& op) {
  return (op.envelope ? 0x20 : 0) | (op.keyScaleRate ? 0x10 : 0) | (op.multiple & 0x0F);
}

int LevelRegister(const FmOperator& op, int extraSteps) {
  const int level = std::clamp(op.totalLevel + extraSteps, 0, kMaxTotalLevel);
  return (op.keyScaleLevel & 0x03) << 6 | level;
}

int AttackDecayRegister(const FmOperator& op) {
  return (op.attackRate & 0x0F) << 4 | (op.decayRate & 0x0F);
}

int SustainReleaseRegister(const FmOperator& op, bool released) {
  const int rate = released && op.sustain ? kSustainReleaseRate : op.releaseRate;
  return (op.sustainLevel & 0x0F) << 4 | (rate & 0x0F);
}

int WaveformRegister(const FmOperator& op) { return op.waveform & 0x07; }

int ConnectionRegister(const FmVoice& voice, int half, bool heard) {
  const int output = heard ? kLeftOutput : 0;
  if (!voice.fourOp) {
    return output | voice.feedback << 1 | (voice.algorithm & 1);
  }
  if (half == 0) {
    return output | voice.feedback << 1 | ((voice.algorithm >> 1) & 1);
  }
  return output | (voice.algorithm & 1);
}

int CarrierMask(const FmVoice& voice) {
  if (!voice.fourOp) {
    return (voice.algorithm & 1) != 0 ? 0b0011 : 0b0010;
  }
  // 1-2-3-4; 1-2 + 3-4; 1 + 2-3-4; 1 + 2-3 + 4.
  constexpr std::array<int, 4> kFourOpCarriers = {0b1000, 0b1010, 0b1001, 0b1101};
  return kFourOpCarriers[voice.algorithm & 3];
}

double LfoRateHz(int effectFrequency) { return kLfoRatesHz[effectFrequency & 3]; }

double TremoloDepthDb(int level) { return kTremoloDepthsDb[level & 3]; }

double VibratoDepthCents(int level) { return kVibratoDepthsCents[level & 3]; }

int VolumeAttenuationSteps(int value) {
  // Looked up: the LFOs ask for it on every control tick of a voice with tremolo.
  static const std::array<int, kMaxVolume + 1> kSteps = [] {
    std::array<int, kMaxVolume + 1> steps{};
    steps[0] = kMuteSteps;
    for (int v = 1; v <= kMaxVolume; ++v) {
      const double db = -40.0 * std::log10(v / double{kMaxVolume});
      steps[v] = static_cast<int>(std::lround(db / kTotalLevelStepDb));
    }
    return steps;
  }();
  return kSteps[std::clamp(value, 0, kMaxVolume)];
}

FNumber NoteFNumber(int note) {
  while (note < 12) {
    note += 12;
  }
  while (note > 119) {
    note -= 12;
  }
  const int semitone = note % 12;
  const int block = note / 12 - 1 - (semitone == 0 ? 1 : 0);
  // C of octave 0 (note 12) would need block -1: it takes the nearest setting of block 0.
  if (block < 0) {
    return {kNoteFNumbers[0] / 2, 0};
  }
  return {kNoteFNumbers[semitone], block};
}

double FNumberHz(FNumber setting) {
  return setting.fnum * double{kChipRate} * std::ldexp(1.0, setting.block) / 1048576.0;
}
