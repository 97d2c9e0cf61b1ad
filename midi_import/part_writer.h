#ifndef QUAVREX_MIDI_IMPORT_PART_WRITER_H_
#define QUAVREX_MIDI_IMPORT_PART_WRITER_H_

// Writes the text of one part of a score from its notes, as a person writes it: a default
// length "L", note values with dots and ties, "<" and ">" between notes, one bar per line,
// rests between notes. Each length is chosen from the absolute target time of the next
// event with the compiler's own arithmetic (midi_import/score_time.h), so errors never add
// up; a value that would miss its tick is written in ticks ("*").

#include <cstdint>
#include <string>
#include <vector>

#include "midi_import/line_plan.h"

enum class PartKind { kMelodic, kRhythm, kDrumVoices };

// A tempo change of the tune: from `tick` on, "T" `tempo`.
struct TempoChangeTick {
  int64_t tick = 0;
  int tempo = 120;
};

// Where a "T" was written in the part that carries them: from part time `fine` on, notes are
// compiled with tempo factor `factor`.
struct TempoMark {
  int64_t fine = 0;
  int factor = 0;
};

struct PartInput {
  PartKind kind = PartKind::kMelodic;
  bool ma2 = true;
  std::vector<const ImportNote*> notes;        // by start, never overlapping
  const std::vector<int64_t>* bars = nullptr;  // ticks where bars begin, ascending
  // The part that carries the tempo gets the changes and fills `marks`; the others read it.
  const std::vector<TempoChangeTick>* tempoChanges = nullptr;
  std::vector<TempoMark>* marks = nullptr;
  // The carrier writes rests up to this tick so that every change before it is written.
  int64_t tempoUntil = 0;
};

// The part's text: its lines (ASCII, without line ends).
std::vector<std::string> WritePart(const PartInput& input);

#endif  // QUAVREX_MIDI_IMPORT_PART_WRITER_H_
