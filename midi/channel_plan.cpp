#include "midi/channel_plan.h"

ChannelPlan PlanChannels(const std::array<bool, 16>& used, const std::array<bool, 16>& sounds,
                         const std::array<bool, 16>& selectsVoice) {
  ChannelPlan plan;
  for (int c = 0; c < 16; ++c) {
    plan.midiChannel[c] = c;
  }
  if (!sounds[kDrumChannel]) {
    return plan;  // nothing of channel 9 reaches the file
  }
  if (!selectsVoice[kDrumChannel]) {
    plan.rhythmPart = true;
    return plan;
  }
  for (int c = 0; c < 16; ++c) {
    if (c != kDrumChannel && !used[c]) {
      plan.midiChannel[kDrumChannel] = c;
      break;
    }
  }
  return plan;
}
