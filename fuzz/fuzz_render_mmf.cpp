// Renders arbitrary bytes as an .MMF file. Any input must end in samples or a message, never
// in a crash, a sanitizer report or unbounded time.
//
// Nearly all of an execution that sounds is spent in the emulated chip (half a microsecond a
// sample of each chip that sounds, not instrumented), and setting up the rate converter
// designs its filter, about a millisecond however short the tune. Neither reads the file's
// bytes, so most inputs are rendered at the chip's own rate with tunes refused past 50 ms and
// release tails cut after 20 ms; one input in 32 (chosen by its length) takes the converter
// to 8000 Hz with tunes up to a quarter second and 50 ms tails, which keeps the converter,
// the control ticks of long notes and the LFOs' whole periods fuzzed at a share of the cost.
// Such an input takes about four times as long as the others: at one in eight they took more
// than a third of a run.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "synth/mmf_render.h"
#include "synth/opl3_chip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool full = size % 32 == 0;
  RenderOptions options;
  options.rate = full ? 8000 : kChipRate;
  options.maxSeconds = full ? 0.25 : 0.05;
  options.maxTailSeconds = full ? 0.05 : 0.02;
  // Some parts muted, as a stem's render mutes them, chosen by the length like the rate.
  options.muted.channels = std::bitset<16>(size / 3 % 4 == 0 ? size * 40503u >> 4 : 0);
  options.muted.audio = size % 5 == 0;
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
