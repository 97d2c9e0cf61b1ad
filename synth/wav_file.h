#ifndef QUAVREX_SYNTH_WAV_FILE_H_
#define QUAVREX_SYNTH_WAV_FILE_H_

#include <cstdint>
#include <vector>

// Encodes 16-bit mono samples at `rate` Hz as the bytes of a WAVE file (libsndfile), for the
// caller to write where it likes. False when libsndfile refuses; `bytes` is empty then.
bool EncodeWav(const std::vector<int16_t>& samples, int rate, std::vector<uint8_t>& bytes);

#endif  // QUAVREX_SYNTH_WAV_FILE_H_
