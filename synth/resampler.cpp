#include "synth/resampler.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace {

// Fast sinc: its pass band reaches 80% of the lower Nyquist frequency, well above what the
// chip's output holds, and it costs a fraction of the chip emulation.
constexpr int kConverter = SRC_SINC_FASTEST;

int16_t ToSample(float value) {
  return static_cast<int16_t>(std::clamp(std::lround(value * 32768.0F), -32768L, 32767L));
}

}  // namespace

struct Resampler::State {
  SRC_STATE* converter = nullptr;
  double ratio = 1;
  std::vector<float> input;
  std::vector<float> output;
};

Resampler::Resampler(int inputRate, int outputRate) : m_state(std::make_unique<State>()) {
  int error = 0;
  m_state->converter = src_new(kConverter, 1, &error);
  m_state->ratio = static_cast<double>(outputRate) / inputRate;
}

Resampler::~Resampler() {
  if (m_state->converter != nullptr) {
    src_delete(m_state->converter);
  }
}

bool Resampler::Process(const int32_t* in, int count, bool last, std::vector<int16_t>& out) {
  State& s = *m_state;
  if (s.converter == nullptr) {
    return false;
  }
  s.input.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    s.input[i] = static_cast<float>(std::clamp(in[i], -32768, 32767)) / 32768.0F;
  }
  s.output.resize(static_cast<size_t>(count * s.ratio) + 64);
  SRC_DATA data{};
  data.data_in = s.input.data();
  data.input_frames = count;
  data.src_ratio = s.ratio;
  // The converter may keep input back; it is offered again until all is taken, and at the
  // end the converter is drained until it gives nothing more.
  for (;;) {
    data.data_out = s.output.data();
    data.output_frames = static_cast<long>(s.output.size());
    data.end_of_input = last ? 1 : 0;
    if (src_process(s.converter, &data) != 0) {
      return false;
    }
    for (long i = 0; i < data.output_frames_gen; ++i) {
      out.push_back(ToSample(s.output[static_cast<size_t>(i)]));
    }
    data.data_in += data.input_frames_used;
    data.input_frames -= data.input_frames_used;
    if (data.input_frames == 0 && (!last || data.output_frames_gen == 0)) {
      return true;
    }
  }
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
