#ifndef QUAVREX_SYNTH_ADPCM_DECODER_H_
#define QUAVREX_SYNTH_ADPCM_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes the 4-bit ADPCM of the audio track's waves: two samples per byte, the low nibble
// first. Each nibble (sign bit 3, magnitude 0-7) moves the predictor by (2 x magnitude + 1) /
// 8 of the step, and scales the step by a factor from 0.9 to 2.4 kept within 127-24576; the
// predictor starts at 0 and the step at 127. Every byte string is valid input.
std::vector<int16_t> DecodeAdpcm(const uint8_t* data, size_t size);

#endif  // QUAVREX_SYNTH_ADPCM_DECODER_H_
