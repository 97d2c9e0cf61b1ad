#ifndef QUAVREX_EXPORT_WAV_OUTPUT_H_
#define QUAVREX_EXPORT_WAV_OUTPUT_H_

#include <string>

#include "job/compile_job.h"
#include "synth/renderer.h"

// Renders the .MMF at `mmfPath` (read through the services) into the WAVE file beside it
// ("tune.MMF" -> "tune.wav"), written through the services with the .MMF's retries, and
// reports it in one log line (UTF-8) put in front of `log`: the WAVE file's name, then that it
// was written or why not. Returns whether it was written.
bool WriteWavOfMmf(const std::string& mmfPath, const RenderOptions& options, std::string& log,
                   CompileServices& services);

#endif  // QUAVREX_EXPORT_WAV_OUTPUT_H_
