#include "synth/fm_engine.h"

#include <cmath>

namespace {

// Operator register offsets of the nine channels of a bank: first operator; the second
// operator is 3 further.
constexpr std::array<int, 9> kOperatorSlots = {0x00, 0x01, 0x02, 0x08, 0x09,
                                               0x0A, 0x10, 0x11, 0x12};
constexpr int kBankSize = 9;
constexpr int kSecondBank = 0x100;
// The 4-operator pairs of the second chip (register 0x104): all six. Each pair starts at one
// of these chip channels and takes the channel 3 above it too.
constexpr int kSecondChipPairs = 0x3F;
constexpr int kPairCount = 6;
constexpr int kChipChannels = 18;
constexpr std::array<int, kPairCount> kPairChannels = {0, 1, 2, 9, 10, 11};
constexpr int kKeyOnBit = 0x20;
constexpr int kMaxFNumber = 1023;
constexpr int kMaxBlock = 7;

bool IsPairChannel(int pairs, int channel) {
  for (int i = 0; i < kPairCount; ++i) {
    if ((pairs >> i & 1) != 0 && (channel == kPairChannels[i] || channel == kPairChannels[i] + 3)) {
      return true;
    }
  }
  return false;
}

// A triangle from -1 to 1 over one period, starting at 0 and rising.
double Triangle(double phase) {
  if (phase < 0.25) {
    return 4 * phase;
  }
  if (phase < 0.75) {
    return 2 - 4 * phase;
  }
  return 4 * phase - 4;
}

bool HasVibrato(const FmVoice& voice) {
  for (int k = 0; k < voice.OperatorCount(); ++k) {
    if (voice.operators[k].vibrato) {
      return true;
    }
  }
  return false;
}

bool HasTremolo(const FmVoice& voice) {
  for (int k = 0; k < voice.OperatorCount(); ++k) {
    if (voice.operators[k].tremolo) {
      return true;
    }
  }
  return false;
}

}  // namespace

int FmEngine::FirstChipPairs(int fourOpChannels, int twoOpChannels) {
  if (fourOpChannels <= kPairCount && 2 * fourOpChannels + twoOpChannels <= kChipChannels) {
    return (1 << fourOpChannels) - 1;
  }
  return kDefaultFirstChipPairs;
}

FmEngine::FmEngine(int firstChipPairs) : pairs_{firstChipPairs & 0x3F, kSecondChipPairs} {
  for (int chip = 0; chip < 2; ++chip) {
    chips_[chip].Reset(pairs_[chip]);
    for (int i = 0; i < kPairCount; ++i) {
      if ((pairs_[chip] >> i & 1) != 0) {
        voices_.push_back({chip, kPairChannels[i], true});
      }
    }
    for (int channel = 0; channel < kChipChannels; ++channel) {
      if (!IsPairChannel(pairs_[chip], channel)) {
        voices_.push_back({chip, channel, false});
      }
    }
  }
}

int FmEngine::AcquireVoice(int channel, bool fourOp) {
  Channel& ch = channels_[channel];
  if (ch.hw >= 0 && voices_[ch.hw].fourOp == fourOp) {
    return ch.hw;
  }
  if (ch.hw >= 0) {
    KeyOff(channel);
    voices_[ch.hw].owner = -1;
    ch.hw = -1;
  }
  // A free voice, the first chip before the second and the longest unused first; else the
  // voice of another channel, released ones before keyed ones, the longest unused first.
  int best = -1;
  auto better = [&](int candidate) {
    if (best < 0) {
      return true;
    }
    const HardwareVoice& a = voices_[candidate];
    const HardwareVoice& b = voices_[best];
    if ((a.owner < 0) != (b.owner < 0)) {
      return a.owner < 0;
    }
    if (a.owner < 0 && a.chip != b.chip) {
      return a.chip < b.chip;
    }
    if (a.keyed != b.keyed) {
      return !a.keyed;
    }
    return a.lastUse < b.lastUse;
  };
  for (int i = 0; i < static_cast<int>(voices_.size()); ++i) {
    if (voices_[i].fourOp == fourOp && better(i)) {
      best = i;
    }
  }
  HardwareVoice& hw = voices_[best];
  if (hw.owner >= 0) {
    KeyOff(hw.owner);
    channels_[hw.owner].hw = -1;
  }
  hw.owner = channel;
  ch.hw = best;
  return best;
}

int FmEngine::OperatorOffset(const HardwareVoice& hw, int op) const {
  const int chipChannel = hw.channel + (op >= 2 ? 3 : 0);
  const int bank = chipChannel / kBankSize;
  return bank * kSecondBank + kOperatorSlots[chipChannel % kBankSize] + (op % 2 == 1 ? 3 : 0);
}

int FmEngine::ChannelOffset(const HardwareVoice& hw, int half) const {
  const int chipChannel = hw.channel + half * 3;
  return chipChannel / kBankSize * kSecondBank + chipChannel % kBankSize;
}

void FmEngine::WriteVoice(int channel) {
  Channel& ch = channels_[channel];
  const HardwareVoice& hw = voices_[ch.hw];
  Opl3Chip& chip = chips_[hw.chip];
  for (int k = 0; k < ch.voice.OperatorCount(); ++k) {
    const FmOperator& op = ch.voice.operators[k];
    const int offset = OperatorOffset(hw, k);
    chip.Write(0x20 + offset, OperatorFlagsRegister(op));
    chip.Write(0x60 + offset, AttackDecayRegister(op));
    chip.Write(0x80 + offset, SustainReleaseRegister(op, false));
    chip.Write(0xE0 + offset, WaveformRegister(op));
  }
  // A chip channel sounds for the FM channel whose note last wrote its voice, also in its
  // release after another channel took it.
  const bool heard = !muted_[channel];
  chip.Write(0xC0 + ChannelOffset(hw, 0), ConnectionRegister(ch.voice, 0, heard));
  if (ch.voice.fourOp) {
    chip.Write(0xC0 + ChannelOffset(hw, 1), ConnectionRegister(ch.voice, 1, heard));
  }
  WriteLevels(channel, true);
}

int FmEngine::ExtraSteps(const Channel& ch, int op) const {
  int steps = 0;
  if ((CarrierMask(ch.voice) >> op & 1) != 0) {
    steps += VolumeAttenuationSteps(ch.volume) + VolumeAttenuationSteps(ch.expression);
  }
  const FmOperator& fields = ch.voice.operators[op];
  if (fields.tremolo) {
    // The level swings between its own value and the tremolo depth below it.
    const double db = TremoloDepthDb(fields.tremoloLevel) * (1 - Triangle(ch.lfoPhase)) / 2;
    steps += static_cast<int>(std::lround(db / kTotalLevelStepDb));
  }
  return steps;
}

void FmEngine::WriteLevels(int channel, bool force) {
  Channel& ch = channels_[channel];
  const HardwareVoice& hw = voices_[ch.hw];
  for (int k = 0; k < ch.voice.OperatorCount(); ++k) {
    const int value = LevelRegister(ch.voice.operators[k], ExtraSteps(ch, k));
    if (force || value != ch.writtenLevels[k]) {
      chips_[hw.chip].Write(0x40 + OperatorOffset(hw, k), value);
      ch.writtenLevels[k] = value;
    }
  }
}

void FmEngine::WritePitch(int channel, FNumber pitch, bool key) {
  Channel& ch = channels_[channel];
  const HardwareVoice& hw = voices_[ch.hw];
  const int offset = ChannelOffset(hw, 0);
  chips_[hw.chip].Write(0xA0 + offset, pitch.fnum & 0xFF);
  chips_[hw.chip].Write(0xB0 + offset,
                        (key ? kKeyOnBit : 0) | (pitch.block & 7) << 2 | (pitch.fnum >> 8 & 3));
  ch.writtenPitch = pitch;
}

FNumber FmEngine::VibratoPitch(const Channel& ch) const {
  double cents = 0;
  for (int k = 0; k < ch.voice.OperatorCount(); ++k) {
    const FmOperator& op = ch.voice.operators[k];
    if (op.vibrato) {
      cents = std::max(cents, VibratoDepthCents(op.vibratoLevel));
    }
  }
  // The chip has one pitch per channel: the deepest vibrato of the voice's operators bends it.
  FNumber pitch = ch.pitch;
  int fnum =
      static_cast<int>(std::lround(pitch.fnum * std::exp2(cents * Triangle(ch.lfoPhase) / 1200.0)));
  while (fnum > kMaxFNumber && pitch.block < kMaxBlock) {
    fnum = (fnum + 1) / 2;
    ++pitch.block;
  }
  pitch.fnum = std::min(fnum, kMaxFNumber);
  return pitch;
}

void FmEngine::KeyOn(int channel, const FmVoice& voice, FNumber pitch) {
  if (channel < 0 || channel >= kChannels) {
    return;
  }
  AcquireVoice(channel, voice.fourOp);
  Channel& ch = channels_[channel];
  const bool retrigger = ch.keyed || ch.releasedThisSample;
  if (ch.keyed) {
    KeyOff(channel);
  }
  ch.voice = voice;
  ch.pitch = pitch;
  ch.lfoPhase = 0;
  if (VolumeAttenuationSteps(ch.volume) == kMuteSteps ||
      VolumeAttenuationSteps(ch.expression) == kMuteSteps) {
    return;
  }
  ch.keyed = true;
  voices_[ch.hw].keyed = true;
  voices_[ch.hw].lastUse = ++useCounter_;
  if (retrigger) {
    // The envelope restarts only after the chip has seen the key released for a sample.
    ch.pendingKeyOn = true;
    anyPending_ = true;
  } else {
    StartNote(channel);
  }
}

void FmEngine::StartNote(int channel) {
  WriteVoice(channel);
  WritePitch(channel, channels_[channel].pitch, true);
}

void FmEngine::ChangePitch(int channel, FNumber pitch) {
  if (channel < 0 || channel >= kChannels) {
    return;
  }
  Channel& ch = channels_[channel];
  ch.pitch = pitch;
  if (ch.keyed && !ch.pendingKeyOn && ch.hw >= 0) {
    WritePitch(channel, HasVibrato(ch.voice) ? VibratoPitch(ch) : pitch, true);
  }
}

void FmEngine::KeyOff(int channel) {
  if (channel < 0 || channel >= kChannels) {
    return;
  }
  Channel& ch = channels_[channel];
  ch.pendingKeyOn = false;
  if (!ch.keyed || ch.hw < 0) {
    ch.keyed = false;
    return;
  }
  ch.keyed = false;
  ch.releasedThisSample = true;
  HardwareVoice& hw = voices_[ch.hw];
  hw.keyed = false;
  hw.lastUse = ++useCounter_;
  for (int k = 0; k < ch.voice.OperatorCount(); ++k) {
    const FmOperator& op = ch.voice.operators[k];
    if (op.sustain) {
      chips_[hw.chip].Write(0x80 + OperatorOffset(hw, k), SustainReleaseRegister(op, true));
    }
  }
  WritePitch(channel, ch.writtenPitch, false);
}

void FmEngine::SetVolume(int channel, int value) {
  if (channel >= 0 && channel < kChannels) {
    channels_[channel].volume = value;
    if (channels_[channel].hw >= 0) {
      WriteLevels(channel, false);
    }
  }
}

void FmEngine::SetExpression(int channel, int value) {
  if (channel >= 0 && channel < kChannels) {
    channels_[channel].expression = value;
    if (channels_[channel].hw >= 0) {
      WriteLevels(channel, false);
    }
  }
}

void FmEngine::ControlTick(double seconds) {
  for (int channel = 0; channel < kChannels; ++channel) {
    Channel& ch = channels_[channel];
    if (ch.hw < 0 || !ch.keyed || ch.pendingKeyOn) {
      continue;
    }
    const bool vibrato = HasVibrato(ch.voice);
    const bool tremolo = HasTremolo(ch.voice);
    if (!vibrato && !tremolo) {
      continue;
    }
    ch.lfoPhase += LfoRateHz(ch.voice.effectFrequency) * seconds;
    ch.lfoPhase -= std::floor(ch.lfoPhase);
    if (vibrato) {
      const FNumber pitch = VibratoPitch(ch);
      if (pitch.fnum != ch.writtenPitch.fnum || pitch.block != ch.writtenPitch.block) {
        WritePitch(channel, pitch, true);
      }
    }
    if (tremolo) {
      WriteLevels(channel, false);
    }
  }
}

void FmEngine::GenerateChips(int32_t* mix, int count, bool force) {
  for (Opl3Chip& chip : chips_) {
    if (force || !chip.IsSilent()) {
      chip.Generate(mix, count);
    }
  }
}

void FmEngine::Render(int32_t* mix, int count) {
  if (count <= 0) {
    return;
  }
  for (Channel& ch : channels_) {
    ch.releasedThisSample = false;
  }
  if (anyPending_) {
    GenerateChips(mix, 1, true);
    anyPending_ = false;
    for (int channel = 0; channel < kChannels; ++channel) {
      if (channels_[channel].pendingKeyOn) {
        channels_[channel].pendingKeyOn = false;
        StartNote(channel);
      }
    }
    ++mix;
    --count;
  }
  GenerateChips(mix, count, false);
}

bool FmEngine::IsSilent() const {
  return !anyPending_ && chips_[0].IsSilent() && chips_[1].IsSilent();
}
