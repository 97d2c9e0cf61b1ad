#ifndef QUAVREX_SYNTH_RESAMPLER_H_
#define QUAVREX_SYNTH_RESAMPLER_H_

#include <cstdint>
#include <memory>
#include <vector>

// A sample-rate converter (libsoxr) fed in pieces: mono 16-bit in,
// mono 16-bit out. The one file that talks to the library.
class Resampler {
 public:
  // Converts from `inputRate` to `outputRate` (both 1000-384000 Hz).
  Resampler(int inputRate, int outputRate);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Converts the next `count` samples and appends the result to `out`; `last` flushes the
  // converter's delay line after them. False (and nothing more appended) when the library fails.
  bool Process(const int32_t* in, int count, bool last, std::vector<int16_t>& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Converts a whole wave at once; an empty result when the library fails.
std::vector<int16_t> ResampleWhole(const std::vector<int16_t>& in, int inputRate, int outputRate);

#endif  // QUAVREX_SYNTH_RESAMPLER_H_
