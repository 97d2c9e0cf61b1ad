#ifndef QUAVREX_SYNTH_STEMS_H_
#define QUAVREX_SYNTH_STEMS_H_

#include <vector>

#include "synth/render_score.h"
#include "synth/renderer.h"

// One audio file per part, for taking a tune into an audio editor: each part rendered alone
// with the rest muted (MutedParts), so the parts line up at zero and mix to the whole. A part
// is rendered without trimming its quiet end (RenderOptions::trimSilence), which gives as many
// samples as the whole tune before its trim, and is cut to the length of the whole.

// A part of a tune that sounds, and the parts a render of it alone mutes.
struct StemPart {
  int channel = kAudioTrack;  // FM channel 0-15, or the audio track
  MutedParts others;

  static constexpr int kAudioTrack = -1;
};

// The parts of `score` that sound: every FM channel that starts a note, in channel order, then
// the audio track when it starts a wave.
std::vector<StemPart> StemParts(const RenderScore& score);

#endif  // QUAVREX_SYNTH_STEMS_H_
