#ifndef QUAVREX_EXPORT_WAV_OUTPUT_H_
#define QUAVREX_EXPORT_WAV_OUTPUT_H_

#include <array>
#include <string>

#include "job/compile_job.h"
#include "synth/renderer.h"

// Renders the .MMF at `mmfPath` (read through the services) into the WAVE file beside it
// ("tune.MMF" -> "tune.wav"), written through the services with the .MMF's retries, and
// reports it in one log line (UTF-8) put in front of `log`: the WAVE file's name, then that it
// was written or why not. With `stems`, each part that sounds then gets a WAVE file of its own
// beside it, as long as "tune.wav" and written and reported the same way: "tune.partA.wav" for
// the audio track, "tune.part01.wav" ... for the channels, numbered by the name of the score's
// part on each channel when `partNames` (CompileProducts::partNames) is given, else by the
// channel (1-16). Returns whether every file was written.
bool WriteWavOfMmf(const std::string& mmfPath, const RenderOptions& options, std::string& log,
                   CompileServices& services, bool stems = false,
                   const std::array<std::string, kSequenceSlots>* partNames = nullptr);

#endif  // QUAVREX_EXPORT_WAV_OUTPUT_H_
