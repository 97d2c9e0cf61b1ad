#include "synth/resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace {

// 20-bit precision with a linear phase: its pass band keeps all that the chip's output holds,
// and working by blocks through a DFT it costs a small part of what the chip emulation does.
constexpr unsigned long kQuality = SOXR_HQ;
// Room for the output of one call beyond the input's share: what the converter held back.
constexpr size_t kSpareOutput = 1024;

int16_t ToSample(float value) {
  return static_cast<int16_t>(std::clamp(std::lround(value * 32768.0F), -32768L, 32767L));
}

}  // namespace

struct Resampler::State {
  soxr_t converter = nullptr;
  double ratio = 1;
  std::vector<float> input;
  std::vector<float> output;

  // Appends what the converter gives for `count` samples at `in` (nullptr: the end of the
  // input, the held-back rest) to `out`. False when the library fails.
  bool Drain(const float* in, size_t count, std::vector<int16_t>& out) {
    output.resize(static_cast<size_t>(static_cast<double>(count) * ratio) + kSpareOutput);
    for (;;) {
      size_t taken = 0;
      size_t made = 0;
      if (soxr_process(converter, in, count, &taken, output.data(), output.size(), &made) !=
          nullptr) {
        return false;
      }
      for (size_t i = 0; i < made; ++i) {
        out.push_back(ToSample(output[i]));
      }
      if (in != nullptr) {
        in += taken;
        count -= taken;
      }
      // Input is offered again until all is taken; at the end the converter is drained until it
      // gives nothing more.
      if (in != nullptr ? count == 0 : made == 0) {
        return true;
      }
    }
  }
};

Resampler::Resampler(int inputRate, int outputRate) : state_(std::make_unique<State>()) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(kQuality, 0);
  // One thread: rendering runs on one core beside the program's other work.
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  state_->converter = soxr_create(inputRate, outputRate, 1, &error, &io, &quality, &runtime);
  if (error != nullptr) {
    state_->converter = nullptr;
  }
  state_->ratio = static_cast<double>(outputRate) / inputRate;
}

Resampler::~Resampler() {
  if (state_->converter != nullptr) {
    soxr_delete(state_->converter);
  }
}

bool Resampler::Process(const int32_t* in, int count, bool last, std::vector<int16_t>& out) {
  State& s = *state_;
  if (s.converter == nullptr) {
    return false;
  }
  s.input.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    s.input[i] = static_cast<float>(std::clamp(in[i], -32768, 32767)) / 32768.0F;
  }
  const size_t before = out.size();
  // An empty piece is not offered: no input at all is how the converter is told of the end.
  if ((count > 0 && !s.Drain(s.input.data(), s.input.size(), out)) ||
      (last && !s.Drain(nullptr, 0, out))) {
    out.resize(before);
    return false;
  }
  return true;
}

std::vector<int16_t> ResampleWhole(const std::vector<int16_t>& in, int inputRate, int outputRate) {
  std::vector<int32_t> wide(in.begin(), in.end());
  std::vector<int16_t> out;
  Resampler resampler(inputRate, outputRate);
  if (!resampler.Process(wide.data(), static_cast<int>(wide.size()), true, out)) {
    out.clear();
  }
  return out;
}
