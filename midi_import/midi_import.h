#ifndef QUAVREX_MIDI_IMPORT_MIDI_IMPORT_H_
#define QUAVREX_MIDI_IMPORT_MIDI_IMPORT_H_

// MIDI import: the bytes of a Standard MIDI File become the bytes of a score (Shift-JIS, CRLF
// line ends) that compiles into the same notes, within 10 ms, and that a person can go on
// editing. It knows the score language only as text, and the compiler's arithmetic of time
// (midi_import/score_time.h).

#include <cstddef>
#include <cstdint>
#include <string>

struct ImportOptions {
  bool ma2 = false;        // 16 parts with a rhythm part; false: MA1's 4 melodic parts
  std::string sourceName;  // the MIDI file's name for the score's opening comment (UTF-8)
};

struct ImportResult {
  bool ok = false;
  std::string score;  // Shift-JIS with CRLF line ends
  // When not ok: the fault (UTF-8) and, when it lies at one, its byte offset in the file.
  std::string fault;
  bool hasOffset = false;
  size_t offset = 0;
  size_t totalNotes = 0;      // notes in the file
  size_t keptNotes = 0;       // notes the score plays
  bool drumsLeftOut = false;  // MA1: the file's drum notes were left out
};

// Converts the file's bytes. Bounded: at most 50000 notes and a tune of 60 minutes are read;
// a file beyond, of format 2, truncated or malformed, or without notes, gives its fault.
ImportResult ImportMidi(const uint8_t* data, size_t size, const ImportOptions& options);

#endif  // QUAVREX_MIDI_IMPORT_MIDI_IMPORT_H_
