#ifndef QUAVREX_MIDI_IMPORT_LINE_PLAN_H_
#define QUAVREX_MIDI_IMPORT_LINE_PLAN_H_

// A part of a score plays one note at a time, so the notes of each MIDI channel are split into
// lines that never overlap, and when the tune has more lines than the format has parts, the
// lines a listener misses most are kept (the rule is written in README.md, "MIDI import").

#include <cstddef>
#include <cstdint>
#include <vector>

// One note in ticks of the compiled file (4 ms), with its channel's controls at its start.
struct ImportNote {
  int64_t start = 0;
  int64_t end = 0;  // after start
  uint8_t channel = 0;
  uint8_t key = 0;
  uint8_t velocity = 0;
  int16_t program = -1;  // -1: never set on the channel before the note
  int16_t volume = -1;
  int16_t pan = -1;
  int16_t expression = -1;
  int16_t modulation = -1;
  int16_t detune = 0;  // 1/16 semitone, from the pitch bend held at the note's start
};

constexpr int kDrumChannel = 9;

// Notes of one channel that never overlap: each ends at or before the next starts.
struct Line {
  int channel = 0;
  int index = 0;  // 0 the top line (drums: the kick and snare line), 1 the bass line, then inner
  std::vector<uint32_t> notes;  // indices of ImportNote, by start
};

// Splits the notes of every channel into lines. At each start the notes struck together go,
// highest first, to the first free line of their preference: the highest to the top line, the
// lowest of two or more to the bass line, the others to the inner lines. Drum notes go kick
// and snare first, each to the first free line. `notes` must be sorted by start, then by key
// from the highest.
std::vector<Line> SplitLines(const std::vector<ImportNote>& notes);

// The lines in the order they get parts: the top line of the melody (the highest of the busy
// channels), the bass line of the bass channel (the lowest), the drums' first line (when
// `drums`), the top lines of the other channels (busiest first), their bass lines, the inner
// lines, the further drum lines. Busy: at least a quarter as many notes as the busiest.
std::vector<size_t> RankLines(const std::vector<Line>& lines, const std::vector<ImportNote>& notes,
                              bool drums);

#endif  // QUAVREX_MIDI_IMPORT_LINE_PLAN_H_
