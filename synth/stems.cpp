#include "synth/stems.h"

std::vector<StemPart> StemParts(const RenderScore& score) {
  MutedParts sounding;
  for (const RenderEvent& event : score.events) {
    if (event.kind == RenderEventKind::kKeyOn && event.channel >= 0 &&
        event.channel < static_cast<int>(sounding.channels.size())) {
      sounding.channels.set(static_cast<size_t>(event.channel));
    } else if (event.kind == RenderEventKind::kWaveOn) {
      sounding.audio = true;
    }
  }
  MutedParts all;
  all.channels.set();
  all.audio = true;
  std::vector<StemPart> parts;
  for (size_t channel = 0; channel < sounding.channels.size(); ++channel) {
    if (sounding.channels[channel]) {
      StemPart part{static_cast<int>(channel), all};
      part.others.channels.reset(channel);
      parts.push_back(part);
    }
  }
  if (sounding.audio) {
    StemPart part{StemPart::kAudioTrack, all};
    part.others.audio = false;
    parts.push_back(part);
  }
  return parts;
}
