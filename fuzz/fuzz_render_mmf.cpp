// Renders arbitrary bytes as an .MMF file. Any input must end in samples or a message, never
// in a crash, a sanitizer report or unbounded time: tunes are refused past one second and
// release tails cut after a quarter second, so that each input stays quick.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "synth/mmf_render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RenderOptions options;
  options.rate = 8000;
  options.maxSeconds = 1;
  options.maxTailSeconds = 0.25;
  std::vector<int16_t> samples;
  std::string error;
  const bool ok = RenderMmf(data, size, options, samples, error);
  // A render that fails says why; one that succeeds stays within the tune and its tail.
  if ((!ok && error.empty()) || samples.size() > 8000 * 2) {
    std::abort();
  }
  return 0;
}
