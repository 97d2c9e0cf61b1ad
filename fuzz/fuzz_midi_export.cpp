// Reads arbitrary bytes as an .MMF file and makes its MIDI file at tempo 120, and for one
// input in two (chosen by its length) once more with a score's tempo changes: the two exports
// took half of each execution, and the tempo map reads nothing of the file. Any input must end
// in a file or in "no notes", never in a crash, a sanitizer report or unbounded memory.

#include <cstddef>
#include <cstdint>

#include "midi/midi_export.h"
#include "reader/mmf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MmfFile file = ReadMmf(data, size);
  const MidiExport alone = ExportMidi(file);
  if (alone.bytes.empty() != alone.noNotes) {
    __builtin_trap();
  }
  if (size % 2 != 0) {
    return 0;
  }
  // A "T" at the start, a slow and a fast one later, and a delay as an A part gives.
  ScoreTempo score;
  score.changes = {{0, 132}, {12500000, 30}, {25000000, 300}};
  score.delayTicks = 2;
  const MidiExport withTempo = ExportMidi(file, &score);
  if (alone.noNotes != withTempo.noNotes) {
    __builtin_trap();  // a tempo map never changes what is carried
  }
  return 0;
}
