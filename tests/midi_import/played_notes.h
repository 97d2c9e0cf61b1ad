#ifndef QUAVREX_TESTS_MIDI_IMPORT_PLAYED_NOTES_H_
#define QUAVREX_TESTS_MIDI_IMPORT_PLAYED_NOTES_H_

// What the MIDI import's tests compare: the notes a file plays, in milliseconds, and the
// command line run on a batch of files.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "midi/midi_export.h"
#include "midi/pitch.h"
#include "midi_import/midi_clock.h"
#include "midi_import/smf_reader.h"
#include "reader/mmf_reader.h"

struct PlayedNote {
  int channel = 0;  // MIDI channel 0-15
  int key = 0;
  double on = 0;  // ms
  double off = 0;
  int program = -1;   // the channel's program at the note's start
  int otherKey = -1;  // a note bent by half a semitone may sound as this key as well
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The notes of a Standard MIDI File, by start, then channel and key. With `sounding`, each
// melodic key is the one its channel's pitch bend at its start makes it sound.
inline std::vector<PlayedNote> NotesOfMidi(const std::string& bytes, bool sounding = false) {
  SmfSong song;
  SmfFault fault;
  std::vector<PlayedNote> notes;
  if (!ReadSmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &song, &fault)) {
    ADD_FAILURE() << "unreadable MIDI file: " << fault.text << " at " << fault.offset;
    return notes;
  }
  std::vector<SmfNote> byStart = song.notes;
  std::stable_sort(byStart.begin(), byStart.end(),
                   [](const SmfNote& a, const SmfNote& b) { return a.on < b.on; });
  const MidiClock clock(song);
  int program[16], bend[16], range[16];
  std::fill_n(program, 16, -1);
  std::fill_n(bend, 16, 0);
  std::fill_n(range, 16, 2);
  size_t next = 0;
  for (const SmfNote& n : byStart) {
    for (; next < song.controls.size() && song.controls[next].tick <= n.on; ++next) {
      const SmfControl& c = song.controls[next];
      if (c.kind == SmfControlKind::kProgram) {
        program[c.channel] = c.value;
      } else if (c.kind == SmfControlKind::kBend) {
        bend[c.channel] = c.value;
      } else if (c.kind == SmfControlKind::kBendRange) {
        range[c.channel] = std::min<int>(c.value, 24);
      }
    }
    PlayedNote note{n.channel, n.key, clock.Us(n.on) / 1000, clock.Us(n.off) / 1000,
                    program[n.channel]};
    if (sounding && n.channel != 9) {
      const int detune =
          static_cast<int>(std::lround(bend[n.channel] * range[n.channel] * 16.0 / 8192));
      note.key = (n.key * 16 + detune + 8) >> 4;
      if ((n.key * 16 + detune) % 16 == 8) {
        note.otherKey = note.key - 1;
      }
    }
    notes.push_back(note);
  }
  std::stable_sort(notes.begin(), notes.end(), [](const PlayedNote& a, const PlayedNote& b) {
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

// A melodic score channel as the matching sees it: channel 9 is not the drums there.
inline int Melodic(int channel) { return channel == 9 ? 16 + channel : channel; }

// The notes an MA2 or MA1 .MMF sounds, read from its events: the score channel (9 for the
// rhythm part and for notes of drum voices), the key (a frequency-mode note's nearest key),
// and on and off in ms. Unlike a MIDI file, it holds notes of one key that overlap.
inline std::vector<PlayedNote> SoundedNotes(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  const MmfFile file = ReadMmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  std::vector<PlayedNote> notes;
  std::map<int, size_t> held;
  std::map<int, int> voice;
  for (const ScoreTrack& track : file.tracks) {
    for (const MmfEvent& e : track.events) {
      const int channel = e.absChannel;
      const bool rhythm = channel == 9 && file.format == MmfFormat::kMa2 && !voice.contains(9);
      const bool drum = rhythm || (voice.contains(channel) && voice[channel] >= 128);
      if (e.kind == MmfEventKind::kVoice || e.kind == MmfEventKind::kProgramChange) {
        voice[channel] = e.voice();
      } else if (e.kind == MmfEventKind::kNote) {
        notes.push_back(
            {drum ? 9 : Melodic(channel), e.note(), double(e.ms()), double(e.ms() + e.gateMs())});
      } else if (e.kind == MmfEventKind::kFrequencyNote && e.keyState() == KeyState::kOff) {
        notes[held.at(channel)].off = double(e.ms());
        held.erase(channel);
      } else if (e.kind == MmfEventKind::kFrequencyNote && e.keyState() == KeyState::kOn) {
        held[channel] = notes.size();
        notes.push_back({Melodic(channel),
                         NearestKey(PitchOfFrequency(e.fnumber() + 256, e.block())), double(e.ms()),
                         double(e.ms())});
      }
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const PlayedNote& a, const PlayedNote& b) { return a.on < b.on; });
  return notes;
}

// How many of `wanted` are played by a note of `played` of the same key, each used once,
// starting and ending within `toleranceMs`: on the same channel with the same program when
// `sameChannel`, else drums (channel 10) matching drums only. Notes of one key struck together
// on several channels may pair off either way, so the pairs are found as a largest matching
// (augmenting paths). The notes left without a pair go to `misses`.
inline size_t MatchNotes(const std::vector<PlayedNote>& wanted,
                         const std::vector<PlayedNote>& played, double toleranceMs,
                         bool sameChannel, std::string* misses) {
  // `played` is sorted by start, so each search looks at the notes near its start only.
  std::vector<std::vector<size_t>> candidates(wanted.size());
  for (size_t w = 0; w < wanted.size(); ++w) {
    const PlayedNote& want = wanted[w];
    auto first = std::lower_bound(played.begin(), played.end(), want.on - toleranceMs,
                                  [](const PlayedNote& p, double on) { return p.on < on; });
    for (size_t k = static_cast<size_t>(first - played.begin());
         k < played.size() && played[k].on <= want.on + toleranceMs; ++k) {
      const PlayedNote& p = played[k];
      const bool channelFits = sameChannel ? p.channel == want.channel && p.program == want.program
                                           : (p.channel == 9) == (want.channel == 9);
      const bool keyFits = p.key == want.key || p.key == want.otherKey || p.otherKey == want.key;
      if (keyFits && channelFits && std::abs(p.off - want.off) <= toleranceMs) {
        candidates[w].push_back(k);
      }
    }
  }
  std::vector<size_t> owner(played.size(), SIZE_MAX);
  std::vector<size_t> seen(played.size(), SIZE_MAX);
  // Kuhn's augmenting path from wanted note `w` (each played note visited once per search).
  auto augment = [&](auto&& self, size_t w, size_t round) -> bool {
    for (size_t k : candidates[w]) {
      if (seen[k] == round) {
        continue;
      }
      seen[k] = round;
      if (owner[k] == SIZE_MAX || self(self, owner[k], round)) {
        owner[k] = w;
        return true;
      }
    }
    return false;
  };
  size_t matched = 0;
  for (size_t w = 0; w < wanted.size(); ++w) {
    if (augment(augment, w, w)) {
      ++matched;
    } else if (misses != nullptr && misses->size() < 2000) {
      std::ostringstream line;
      line << "channel " << wanted[w].channel << " key " << wanted[w].key << " " << wanted[w].on
           << "-" << wanted[w].off << " ms not played\n";
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
