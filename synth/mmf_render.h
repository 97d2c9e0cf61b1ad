#ifndef QUAVREX_SYNTH_MMF_RENDER_H_
#define QUAVREX_SYNTH_MMF_RENDER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/render_score.h"
#include "synth/renderer.h"

// Reads the bytes of an .MMF into the renderer's score (ScoreFromModel). False with a message
// (UTF-8) in `error` when the bytes are no .MMF that this program can play: another kind of
// .MMF, or one with neither a score track nor an audio track.
bool PlayableScore(const uint8_t* data, size_t size, RenderScore& score, std::string& error);

// Reads the bytes of an .MMF and renders it (PlayableScore, RenderPcm). False with a message
// (UTF-8) in `error` when the bytes are no .MMF that this program can play, or rendering fails.
bool RenderMmf(const uint8_t* data, size_t size, const RenderOptions& options,
               std::vector<int16_t>& out, std::string& error);

#endif  // QUAVREX_SYNTH_MMF_RENDER_H_
