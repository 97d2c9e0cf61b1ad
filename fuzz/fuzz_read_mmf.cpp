// Reads arbitrary bytes as an .MMF file and lists the result in both forms. Any input must
// end in a model with findings, never in a crash, a sanitizer report, a read outside the
// buffer or memory out of proportion to the input.
//
// Every input is read, and checked without keeping its events as --verify does. The two
// listings cost more than the reading (a text for every event and chunk) and depend only on
// the model; made for one input in four they still took half of each execution. They are
// made for one input in sixteen (chosen by its length): mutations change lengths all the
// time, so every kind of model the corpus holds is still listed many times over a run.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "listing/mmf_json.h"
#include "listing/mmf_listing.h"
#include "reader/mmf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MmfFile file = ReadMmf(data, size);
  // Every event and record stands on at least one byte of its own.
  size_t items = file.chunks.size() + file.findings.size() + file.audio.events.size();
  for (const ScoreTrack& track : file.tracks) {
    items += track.events.size() + track.voices.size();
  }
  if (items > 2 * size + 16 || IsSound(file) != file.findings.empty()) {
    std::abort();
  }
  // Checking alone finds what reading finds.
  if (CheckMmf(data, size).findings.size() != file.findings.size()) {
    std::abort();
  }
  if (size % 16 != 0) {
    return 0;
  }
  std::string listing = MmfListing(file, "fuzz.mmf");
  std::string json = MmfJson(file, "fuzz.mmf");
  if (listing.empty() || json.empty()) {
    std::abort();
  }
  return 0;
}
