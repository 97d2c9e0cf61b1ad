#ifndef QUAVREX_SYNTH_MMF_RENDER_H_
#define QUAVREX_SYNTH_MMF_RENDER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/renderer.h"

// Reads the bytes of an .MMF and renders it (ScoreFromModel, RenderPcm). False with a message
// (UTF-8) in `error` when the bytes are no .MMF that this program can play, or rendering fails.
bool RenderMmf(const uint8_t* data, size_t size, const RenderOptions& options,
               std::vector<int16_t>& out, std::string& error);

// Renders the .MMF at `mmfPath` and writes the result as a WAVE file at `wavPath`. False with
// a message (UTF-8) in `error` when the file cannot be read, rendered or written.
bool ExportWav(const std::string& mmfPath, const std::string& wavPath, const RenderOptions& options,
               std::string& error);

// Renders the .MMF at `mmfPath` into the WAVE file beside it (WavPathFor) and makes the log
// line (UTF-8, ending in "\r\n") that reports it: the WAVE file's name, then that it was
// written or why not. Returns whether it was written.
bool ExportWavBeside(const std::string& mmfPath, const RenderOptions& options, std::string& line);

// The path of the WAVE file that belongs beside `mmfPath`: its extension replaced by ".wav".
std::string WavPathFor(const std::string& mmfPath);

#endif  // QUAVREX_SYNTH_MMF_RENDER_H_
