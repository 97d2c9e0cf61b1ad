#ifndef QUAVREX_MIDI_MIDI_EXPORT_H_
#define QUAVREX_MIDI_MIDI_EXPORT_H_

#include <cstdint>
#include <vector>

#include "core/bytes.h"
#include "reader/mmf_model.h"

// A "T" command of the score that the file was compiled from: from `time` (fine units,
// 1/10000 of a tick, in the score's own time) on, the tempo is `tempo` beats a minute.
struct ScoreTempoChange {
  int64_t time = 0;
  int tempo = 120;
};

// What the compile knew about the score's time: its tempo changes in time order, and how
// many ticks the score tracks were delayed in the file (an A part delays them).
struct ScoreTempo {
  std::vector<ScoreTempoChange> changes;
  int delayTicks = 0;
};

// A Standard MIDI File made from an .MMF model, and what it had to leave out.
struct MidiExport {
  Bytes bytes;                // empty when there is no note to carry
  bool noNotes = false;       // no score track plays a note
  bool audioLeftOut = false;  // the file has an audio track, which MIDI cannot carry
  bool damaged = false;       // the reader found faults (or the tune ran past what MIDI holds)
};

// Makes a format-1 file: a first track with the tempo map, a 4/4 time signature and the title
// (the contents field "ST"), then one track per MIDI channel that plays notes. Note-on and
// note-off fall on the tick nearest to the millisecond the .MMF gives them. Without `score`
// the tempo is 120 and a tick is a millisecond; with it, the tempo follows the score's "T"
// commands. Never fails: what the model holds is carried as far as MIDI can carry it.
MidiExport ExportMidi(const MmfFile& file, const ScoreTempo* score = nullptr);

#endif  // QUAVREX_MIDI_MIDI_EXPORT_H_
