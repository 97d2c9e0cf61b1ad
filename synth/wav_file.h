#ifndef QUAVREX_SYNTH_WAV_FILE_H_
#define QUAVREX_SYNTH_WAV_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

// Writes 16-bit mono samples at `rate` Hz as a WAVE file (libsndfile) at `path`: first into a
// new temporary file in the same folder, which is then renamed over `path`, so that a failure
// never leaves a partial file. A file that is replaced keeps its permissions. False when the
// file cannot be written; nothing is left behind then.
bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int rate);

#endif  // QUAVREX_SYNTH_WAV_FILE_H_
