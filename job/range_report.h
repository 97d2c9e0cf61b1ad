#ifndef QUAVREX_JOB_RANGE_REPORT_H_
#define QUAVREX_JOB_RANGE_REPORT_H_

#include <string>

#include "frontend/split_score.h"
#include "sequence/compiled_tracks.h"

// The octave (counted from C sharp to the next C) in which MA1 voice `voice` (0-127) starts
// sounding, minus 2: the voice plays from C sharp of octave k + 2 up to C of octave k + 5.
int VoiceOctaveOffset(int voice);

// The MA1 octave-range report over channels 0-3 of a finished compile: one Shift-JIS line,
// ending in "\r\n", for each part whose notes span more than the chip can play, reach down to
// C sharp of octave 2, or leave the range of the voice they play. Empty when all is well. A
// channel that never selected a voice plays voice 0 and is checked against it.
std::string MakeRangeReport(const SplitScore& score, const CompiledTracks& tracks);

#endif  // QUAVREX_JOB_RANGE_REPORT_H_
