#ifndef QUAVREX_TESTS_MIDI_IMPORT_PLAYED_NOTES_H_
#define QUAVREX_TESTS_MIDI_IMPORT_PLAYED_NOTES_H_

// What the MIDI import's tests compare: the notes a file plays, in milliseconds, and the
// command line run on a batch of files.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "midi/midi_export.h"
#include "midi_import/midi_clock.h"
#include "midi_import/smf_reader.h"
#include "reader/mmf_reader.h"

struct PlayedNote {
  int channel = 0;  // MIDI channel 0-15
  int key = 0;
  double on = 0;  // ms
  double off = 0;
  int program = -1;  // the channel's program at the note's start
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The notes of a Standard MIDI File, by start, then channel and key.
inline std::vector<PlayedNote> NotesOfMidi(const std::string& bytes) {
  SmfSong song;
  SmfFault fault;
  std::vector<PlayedNote> notes;
  if (!ReadSmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &song, &fault)) {
    ADD_FAILURE() << "unreadable MIDI file: " << fault.text << " at " << fault.offset;
    return notes;
  }
  const MidiClock clock(song);
  for (const SmfNote& n : song.notes) {
    PlayedNote note{n.channel, n.key, clock.Us(n.on) / 1000, clock.Us(n.off) / 1000};
    for (const SmfControl& c : song.controls) {
      if (c.tick <= n.on && c.channel == n.channel && c.kind == SmfControlKind::kProgram) {
        note.program = c.value;
      }
    }
    notes.push_back(note);
  }
  std::sort(notes.begin(), notes.end(), [](const PlayedNote& a, const PlayedNote& b) {
    return a.on != b.on             ? a.on < b.on
           : a.channel != b.channel ? a.channel < b.channel
                                    : a.key < b.key;
  });
  return notes;
}

// The notes an .MMF plays, through its MIDI export (every note on the tick nearest its
// millisecond; drum voices and the rhythm part on channel 10).
inline std::vector<PlayedNote> NotesOfMmf(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  const MmfFile file = ReadMmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const MidiExport midi = ExportMidi(file);
  EXPECT_FALSE(midi.damaged) << path;
  return NotesOfMidi(std::string(midi.bytes.begin(), midi.bytes.end()));
}

// How many of `wanted` are played by a note of `played` of the same key, each used once,
// starting and ending within `toleranceMs`: on the same channel with the same program when
// `sameChannel`, else drums (channel 10) matching drums only. The misses go to `misses`.
inline size_t MatchNotes(const std::vector<PlayedNote>& wanted,
                         const std::vector<PlayedNote>& played, double toleranceMs,
                         bool sameChannel, std::string* misses) {
  std::vector<bool> used(played.size(), false);
  size_t matched = 0;
  for (const PlayedNote& w : wanted) {
    bool found = false;
    for (size_t k = 0; k < played.size() && !found; ++k) {
      const PlayedNote& p = played[k];
      const bool channelFits = sameChannel ? p.channel == w.channel && p.program == w.program
                                           : (p.channel == 9) == (w.channel == 9);
      if (!used[k] && p.key == w.key && channelFits && std::abs(p.on - w.on) <= toleranceMs &&
          std::abs(p.off - w.off) <= toleranceMs) {
        used[k] = found = true;
      }
    }
    matched += found ? 1 : 0;
    if (!found && misses != nullptr && misses->size() < 2000) {
      std::ostringstream line;
      line << "channel " << w.channel << " key " << w.key << " " << w.on << "-" << w.off
           << " ms not played\n";
      *misses += line.str();
    }
  }
  return matched;
}

// Runs the command line; returns its exit status and puts what it printed in `out`.
inline int RunQuavrexc(const std::vector<std::string>& args, std::string& out) {
  std::ostringstream outStream, errStream;
  const int status = RunCommandLine(args, outStream, errStream);
  out = outStream.str() + errStream.str();
  return status;
}

#endif  // QUAVREX_TESTS_MIDI_IMPORT_PLAYED_NOTES_H_
