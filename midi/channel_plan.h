#ifndef QUAVREX_MIDI_CHANNEL_PLAN_H_
#define QUAVREX_MIDI_CHANNEL_PLAN_H_

#include <array>

// The MIDI channel (0-15) of the handset's channel 9 stands for channel 10 of General MIDI,
// which sounds drums.
constexpr int kDrumChannel = 9;

// Which MIDI channel each handset channel (0-15, absolute) plays on.
struct ChannelPlan {
  std::array<int, 16> midiChannel{};
  // Handset channel 9 plays notes without ever selecting a voice: the rhythm part, whose
  // note n is the drum sound n, so it stays on the drum channel with its keys unchanged.
  bool rhythmPart = false;
};

// Handset channel n plays on MIDI channel n, except a channel 9 that selects voices (a
// melodic part), which moves to the first channel that no part uses; when all sixteen are in
// use it stays. `used`: the channel carries any message; `sounds`: it plays a note;
// `selectsVoice`: it selects a voice somewhere.
ChannelPlan PlanChannels(const std::array<bool, 16>& used, const std::array<bool, 16>& sounds,
                         const std::array<bool, 16>& selectsVoice);

#endif  // QUAVREX_MIDI_CHANNEL_PLAN_H_
