#ifndef QUAVREX_READER_SEQUENCE_READER_H_
#define QUAVREX_READER_SEQUENCE_READER_H_

#include <cstddef>
#include <vector>

#include "reader/mmf_model.h"
#include "reader/read_context.h"

// How to read one sequence: what the track is and its timebases.
struct SequenceSettings {
  bool audio = false;   // the audio track: notes are direct notes
  bool ma1 = false;     // MA1: a channel without a window plays in window 0 silently
  int trackNumber = 0;  // the score track's number (0 in MA1, 1-4 in MA2)
  int durationMs = 0;   // milliseconds per tick of the delta and gate times
  int gateMs = 0;
};

// Decodes the sequence data in [start, end) into events with absolute times. A fault becomes
// a finding; after an unknown message form or a cut-off event the rest is skipped, since the
// next event cannot be found.
void ReadSequence(const ReadContext& context, size_t start, size_t end,
                  const SequenceSettings& settings, std::vector<MmfEvent>& events);

#endif  // QUAVREX_READER_SEQUENCE_READER_H_
