#ifndef QUAVREX_SYNTH_RENDERER_H_
#define QUAVREX_SYNTH_RENDERER_H_

#include <atomic>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/render_score.h"

// The parts of a tune that a render leaves out of its mix: FM channels 0-15 and the audio
// track. Muted parts play as ever and only their sound is left out, so renders that mute
// complementary parts add up to the render that mutes none.
struct MutedParts {
  std::bitset<16> channels;
  bool audio = false;
};

struct RenderOptions {
  int rate = 44100;            // output sample rate, 8000-192000 Hz
  double maxSeconds = 600;     // longer tunes are refused
  double maxTailSeconds = 10;  // release tails are cut after this
  // When set and it becomes true, rendering stops and fails with an empty message.
  const std::atomic<bool>* cancel = nullptr;
  MutedParts muted;  // none by default
  // False keeps the quiet samples after the tune's end that are otherwise trimmed: a stem is
  // cut to the length of the whole tune instead, since the quiet tails of parts add up.
  bool trimSilence = true;
};

// The control rate: the LFOs move once every this many chip samples (about 1036 Hz).
constexpr int kControlBlock = 48;

// Plays `score` on the FM and ADPCM sources at the chip's rate, each event at its sample,
// and converts the result to `options.rate`: 16-bit mono in `out`, as long as the tune plus
// the release tails, trailing silence after the tune's end trimmed (options.trimSilence). Returns
// false with a message (UTF-8) in `error` when the tune is longer than options.maxSeconds or the
// rate converter fails, and with an empty message when options.cancel stopped it.
bool RenderPcm(const RenderScore& score, const RenderOptions& options, std::vector<int16_t>& out,
               std::string& error);

#endif  // QUAVREX_SYNTH_RENDERER_H_
