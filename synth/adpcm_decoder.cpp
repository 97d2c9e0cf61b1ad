#include "synth/adpcm_decoder.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kMinStep = 127;
constexpr int kMaxStep = 24576;
// Step factors in 256ths by magnitude: small magnitudes shrink the step, large ones grow it.
constexpr std::array<int, 8> kStepScale = {230, 230, 230, 230, 307, 409, 512, 614};

struct AdpcmState {
  int predictor = 0;
  int step = kMinStep;

  int16_t Expand(int nibble) {
    const int magnitude = nibble & 7;
    const int delta = step * (2 * magnitude + 1) / 8;
    predictor = std::clamp(predictor + ((nibble & 8) != 0 ? -delta : delta), -32768, 32767);
    step = std::clamp(step * kStepScale[magnitude] >> 8, kMinStep, kMaxStep);
    return static_cast<int16_t>(predictor);
  }
};

}  // namespace

std::vector<int16_t> DecodeAdpcm(const uint8_t* data, size_t size) {
  std::vector<int16_t> samples;
  samples.reserve(size * 2);
  AdpcmState state;
  for (size_t i = 0; i < size; ++i) {
    samples.push_back(state.Expand(data[i] & 0x0F));
    samples.push_back(state.Expand(data[i] >> 4));
  }
  return samples;
}
