#include "synth/wave_player.h"

#include <cmath>

#include "synth/opl3_chip.h"
#include "synth/opl3_registers.h"
#include "synth/resampler.h"

namespace {

// A full-scale wave mixes in at a quarter of full scale: about as loud as two FM voices at
// full level, so that a sampled sound does not drown the tune.
constexpr double kWaveGain = 0.25;
constexpr int kGainOne = 4096;

int GainOf(int volume) {
  const int steps = VolumeAttenuationSteps(volume);
  if (steps == kMuteSteps) {
    return 0;
  }
  const double db = steps * kTotalLevelStepDb;
  return static_cast<int>(std::lround(kGainOne * kWaveGain * std::pow(10.0, -db / 20)));
}

}  // namespace

void WavePlayer::SetWave(int id, const std::vector<int16_t>& samples, int rate) {
  if (id >= 1 && id <= kWaveSlots) {
    waves_[id] = rate == kChipRate ? samples : ResampleWhole(samples, rate, kChipRate);
  }
}

void WavePlayer::Start(int channel, int id) {
  if (channel >= 0 && channel < kChannels && id >= 1 && id <= kWaveSlots) {
    Channel& ch = channels_[channel];
    ch.wave = waves_[id].empty() ? 0 : id;
    ch.position = 0;
    ch.gain = GainOf(ch.volume);
  }
}

void WavePlayer::Stop(int channel) {
  if (channel >= 0 && channel < kChannels) {
    channels_[channel].wave = 0;
  }
}

void WavePlayer::SetVolume(int channel, int value) {
  if (channel >= 0 && channel < kChannels) {
    channels_[channel].volume = value;
    channels_[channel].gain = GainOf(value);
  }
}

void WavePlayer::Render(int32_t* mix, int count) {
  for (Channel& ch : channels_) {
    if (ch.wave == 0) {
      continue;
    }
    const std::vector<int16_t>& wave = waves_[ch.wave];
    for (int i = 0; i < count && ch.position < wave.size(); ++i, ++ch.position) {
      mix[i] += wave[ch.position] * ch.gain / kGainOne;
    }
    if (ch.position >= wave.size()) {
      ch.wave = 0;
    }
  }
}

bool WavePlayer::IsSilent() const {
  for (const Channel& ch : channels_) {
    if (ch.wave != 0) {
      return false;
    }
  }
  return true;
}
