// Fuzz target for the MIDI import: any bytes as a MIDI file, read and converted into a score in
// both formats. Every outcome must be a score or one fault, within the reader's caps.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "midi_import/midi_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ImportOptions options;
  options.ma2 = size % 2 == 0;
  options.sourceName = "fuzz.mid";
  const ImportResult result = ImportMidi(data, size, options);
  if (result.ok == result.score.empty() || (!result.ok && result.fault.empty())) {
    std::abort();
  }
  return 0;
}
