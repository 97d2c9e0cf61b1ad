#ifndef QUAVREX_SYNTH_FM_ENGINE_H_
#define QUAVREX_SYNTH_FM_ENGINE_H_

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "synth/fm_voice.h"
#include "synth/opl3_chip.h"
#include "synth/opl3_registers.h"

// The FM sound source: sixteen channels, each sounding one note at a time on a voice of two
// emulated chips. A channel borrows a 2- or 4-operator chip channel when it first needs one
// and keeps it while its voices stay of that kind, so a new note takes over the voice of the
// note before it. The first chip is laid out for the tune (FirstChipPairs), the second offers
// 6 four-operator and 6 two-operator channels; each chip is only run while it holds a
// sounding voice, so a tune that fits the first chip never runs the second.
class FmEngine {
 public:
  static constexpr int kChannels = 16;
  // The first chip's 4-operator pairs (register 0x104) when nothing is known about the tune:
  // 3 four-operator and 12 two-operator channels.
  static constexpr int kDefaultFirstChipPairs = 0x07;

  // The first chip's 4-operator pairs for a tune whose FM channels play 4-operator voices on
  // `fourOpChannels` channels and 2-operator voices on `twoOpChannels` (a channel that plays
  // both counts twice): as many pairs as 4-operator channels when all of them fit the chip's
  // 18 channels, else kDefaultFirstChipPairs.
  static int FirstChipPairs(int fourOpChannels, int twoOpChannels);

  explicit FmEngine(int firstChipPairs = kDefaultFirstChipPairs);

  // Leaves the channels set in `muted` out of the mix from their next note on: they play as
  // ever (the chips keep the same voices, envelopes and timing) with their chip channels'
  // output switched off, so renders with complementary channels muted add up to the whole.
  void SetMuted(std::bitset<kChannels> muted) { muted_ = muted; }

  // Starts a note on `channel` with `voice` at `pitch`. A note still keyed on the channel (or
  // keyed off at this very sample) is keyed off and the new one keyed one sample later: the
  // chip starts an envelope again only after it has seen the key released.
  // Volume or expression 0 keeps the channel silent. Channels outside 0-15 are ignored.
  void KeyOn(int channel, const FmVoice& voice, FNumber pitch);
  // Moves the sounding note of `channel` to `pitch` without a new attack.
  void ChangePitch(int channel, FNumber pitch);
  // Releases the note of `channel`; operators with the sustain flag release at rate 4.
  void KeyOff(int channel);
  // Volume and expression 0-127 attenuate the carriers (VolumeAttenuationSteps).
  void SetVolume(int channel, int value);
  void SetExpression(int channel, int value);

  // Advances every channel's LFO by `seconds` and writes the pitch and levels it moves.
  // Called at the control rate (at least 1 kHz).
  void ControlTick(double seconds);
  // Adds `count` samples at kChipRate to `mix`.
  void Render(int32_t* mix, int count);
  // True when no channel is keyed or pending and both chips have fallen silent.
  bool IsSilent() const;

 private:
  struct HardwareVoice {
    int chip = 0;
    int channel = 0;  // chip channel 0-17; the first of the pair for 4 operators
    bool fourOp = false;
    int owner = -1;        // FM channel using it, or -1
    uint64_t lastUse = 0;  // order of the last key-on or key-off, for choosing a victim
    bool keyed = false;
  };
  struct Channel {
    int hw = -1;
    FmVoice voice;
    FNumber pitch;
    int volume = 100;
    int expression = 127;
    bool keyed = false;
    bool pendingKeyOn = false;
    bool releasedThisSample = false;  // keyed off since the chip last ran
    double lfoPhase = 0;              // 0-1
    FNumber writtenPitch;
    std::array<int, 4> writtenLevels{};
  };

  int AcquireVoice(int channel, bool fourOp);
  int OperatorOffset(const HardwareVoice& hw, int op) const;
  int ChannelOffset(const HardwareVoice& hw, int half) const;
  void WriteVoice(int channel);
  void WritePitch(int channel, FNumber pitch, bool key);
  void WriteLevels(int channel, bool force);
  int ExtraSteps(const Channel& ch, int op) const;
  FNumber VibratoPitch(const Channel& ch) const;
  void StartNote(int channel);
  void GenerateChips(int32_t* mix, int count, bool force);

  std::array<Opl3Chip, 2> chips_;
  std::array<int, 2> pairs_;  // each chip's 4-operator pairs
  std::vector<HardwareVoice> voices_;
  std::array<Channel, kChannels> channels_;
  uint64_t useCounter_ = 0;
  bool anyPending_ = false;
  std::bitset<kChannels> muted_;
};

#endif  // QUAVREX_SYNTH_FM_ENGINE_H_
