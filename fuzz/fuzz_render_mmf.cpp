// Renders arbitrary bytes as an .MMF file. Any input must end in samples or a message, never
// in a crash, a sanitizer report or unbounded time. Nearly all of an execution is spent in the
// emulated chip (about 50,000 samples a second of tune, not instrumented), so tunes are
// refused past a quarter second and release tails cut after 50 ms: a second and a quarter
// made executions seven times slower and covered only 2% more edges.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "synth/mmf_render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RenderOptions options;
  options.rate = 8000;
  options.maxSeconds = 0.25;
  options.maxTailSeconds = 0.05;
  std::vector<int16_t> samples;
  std::string error;
  const bool ok = RenderMmf(data, size, options, samples, error);
  // A render that fails says why; one that succeeds stays within the tune and its tail (twice
  // that leaves room for the rate converter's rounding).
  const double most = 2 * (options.maxSeconds + options.maxTailSeconds) * options.rate;
  if ((!ok && error.empty()) || static_cast<double>(samples.size()) > most) {
    std::abort();
  }
  return 0;
}
