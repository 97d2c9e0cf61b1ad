// MIDI files made by Debian's python3-mido, converted and compiled through the command line:
// every kept note starts and ends within 10 ms of its time in the file (mido's reading of it),
// the log line counts the notes kept, and the notes a listener misses most are the ones kept.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "tests/midi_import/played_notes.h"
#include "tests/temp_folder.h"

namespace {

const std::string kPython =
    std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";

// Writes the files into the folder given and prints, per file, its name, a tab and its notes as
// "channel key on off" in ms (mido's times; SMPTE ticks are milliseconds here), by ";".
constexpr const char* kMakeFiles = R"(
import sys, mido
from mido import Message as M, MetaMessage as Meta, MidiFile, MidiTrack
folder = sys.argv[1]

def track(events):
    t = MidiTrack()
    now = 0
    for at, msg in sorted(events, key=lambda e: (e[0], e[1].type == 'note_on')):
        t.append(msg.copy(time=at - now)); now = at
    return t

def notes(ch, key, start, length, velocity=100):
    return [(start, M('note_on', channel=ch, note=key, velocity=velocity)),
            (start + length, M('note_off', channel=ch, note=key))]

def save(name, tracks, division=480, kind=1, smpte=None):
    f = MidiFile(type=kind, ticks_per_beat=division)
    f.tracks.extend(tracks)
    f.save(folder + '/' + name)
    if smpte:
        data = bytearray(open(folder + '/' + name, 'rb').read())
        data[12], data[13] = smpte
        open(folder + '/' + name, 'wb').write(data)

# chords: a melody over three- and four-note chords, held notes of one key overlapping
melody = [e for k, key in enumerate([72, 74, 76, 77, 79, 77, 76, 74] * 2) for e in notes(0, key, k * 240, 240)]
chords = [e for k, chord in enumerate([(48, 55, 60, 64), (53, 57, 60), (55, 59, 62, 65), (48, 52, 55)] * 2)
          for key in chord for e in notes(1, key, k * 480, 480, 80)]
overlap = notes(2, 67, 0, 960) + notes(2, 67, 480, 960)
save('chords.mid', [track([(0, Meta('set_tempo', tempo=mido.bpm2tempo(100))), (0, Meta('track_name', name='Chords'))]),
                    track([(0, M('program_change', channel=0, program=73))] + melody),
                    track([(0, M('program_change', channel=1, program=0))] + chords), track(overlap)])

# drums: kick, snare, hats and a crash together, with a bass line; one track (format 0)
drums = []
for k in range(16):
    at = k * 120
    drums += notes(9, 42, at, 60)
    if k % 4 == 0: drums += notes(9, 36, at, 60)
    if k % 4 == 2: drums += notes(9, 38, at, 60)
    if k == 0: drums += notes(9, 49, at, 400) + notes(9, 45, at, 60)
bass = [e for k in range(4) for e in notes(3, 36 + 7 * (k % 2), k * 480, 420)]
save('drums.mid', [track([(0, Meta('set_tempo', tempo=mido.bpm2tempo(126)))] + drums + bass)], kind=0)

# tempo map: fractional tempos, a change every beat, notes held across changes
tempos = [(k * 480, Meta('set_tempo', tempo=mido.bpm2tempo(97.3 + k * 3.71))) for k in range(12)]
line = [e for k in range(24) for e in notes(0, 60 + k % 12, k * 240, 200)]
held = [e for k in range(6) for e in notes(1, 48 + k, k * 960 + 240, 900)]
save('tempo_map.mid', [track(tempos), track(line), track(held)], division=96)

# SMPTE: 25 frames of 40 ticks, so a tick is a millisecond
smpte = [e for k in range(12) for e in notes(0, 64 + k, k * 333, 250)]
save('smpte.mid', [track(smpte)], division=1000, kind=0, smpte=(0xE7, 40))

# a pitch bend of a quarter semitone held through notes (bend range 2)
bent = [(0, M('pitchwheel', channel=0, pitch=1024))] + [e for k in range(4) for e in notes(0, 65, k * 480, 400)]
save('bend.mid', [track(bent)], kind=0)

# more than MA1's four parts: a melody, a bass and four fillers with drums
melody = [e for k in range(16) for e in notes(0, 84 + k % 5, k * 240, 200)]
bass = [e for k in range(8) for e in notes(1, 40 + k % 3, k * 480, 400)]
fill = [e for c in (2, 3, 4, 5) for k in range(8) for e in notes(c, 60 + c + k % 2, k * 480, 400)]
save('crowd.mid', [track(melody + bass + fill + notes(9, 36, 0, 100))], kind=0)

# more than MA2's parts: six-note chords on four channels, a melody, a bass, drums on top
chords = [e for c in (1, 2, 3, 4) for k in range(4) for key in range(6)
          for e in notes(c, 50 + c * 5 + key * 2, k * 480, 480)]
melody = [e for k in range(8) for e in notes(0, 96 - k, k * 240, 240)]
bass = [e for k in range(4) for e in notes(5, 28 + k, k * 480, 480)]
kit = [e for k in range(8) for key in (36 if k % 2 == 0 else 38, 41, 43, 45, 47, 50)
       for e in notes(9, key, k * 240, 100)]
save('crowd2.mid', [track(chords + melody + bass + kit)], kind=0)

for name in ('chords', 'drums', 'tempo_map', 'smpte', 'bend', 'crowd', 'crowd2'):
    f = MidiFile(folder + '/' + name + '.mid')
    now, on, out = 0.0, {}, []
    for m in f:
        now += m.time * 1000.0 if name != 'smpte' else 0
        if name == 'smpte':
            continue
        key = (getattr(m, 'channel', 0), getattr(m, 'note', 0))
        if m.type == 'note_on' and m.velocity > 0: on.setdefault(key, []).append(now)
        elif m.type in ('note_on', 'note_off'): out.append('%d %d %.3f %.3f' % (*key, on[key].pop(0), now))
    if name == 'smpte':
        tick = 0
        for m in f.tracks[0]:
            tick += m.time
            key = (getattr(m, 'channel', 0), getattr(m, 'note', 0))
            if m.type == 'note_on' and m.velocity > 0: on.setdefault(key, []).append(tick)
            elif m.type in ('note_on', 'note_off'): out.append('%d %d %d %d' % (*key, on[key].pop(0), tick))
    print(name + '.mid\t' + ';'.join(out))
)";

// The reference notes of each file the script made, by file name.
std::map<std::string, std::vector<PlayedNote>> MakeFiles(const std::string& folder) {
  ::setenv("QUAVREX_SCRIPT", kMakeFiles, 1);
  std::map<std::string, std::vector<PlayedNote>> files;
  std::FILE* pipe = ::popen((kPython + " -c \"$QUAVREX_SCRIPT\" " + folder).c_str(), "r");
  static char buffer[1 << 20];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::string line(buffer, std::strlen(buffer) - 1);
    const size_t tab = line.find('\t');
    std::vector<PlayedNote>& notes = files[line.substr(0, tab)];
    std::istringstream list(line.substr(tab + 1));
    for (std::string item; std::getline(list, item, ';');) {
      PlayedNote note;
      std::istringstream(item) >> note.channel >> note.key >> note.on >> note.off;
      notes.push_back(note);
    }
  }
  EXPECT_TRUE(pipe != nullptr && ::pclose(pipe) == 0) << "python3 with mido failed";
  return files;
}

// The notes the log line says were kept: all, or "音符 N 個のうち M 個".
size_t KeptNotes(const std::string& out, size_t total) {
  std::smatch match;
  if (std::regex_search(out, match, std::regex("音符 ([0-9]+) 個のうち ([0-9]+) 個"))) {
    EXPECT_EQ(std::stoul(match[1]), total);
    return std::stoul(match[2]);
  }
  return total;
}

struct MadeCase {
  const char* file;
  bool ma2;
  const char* dropNote;  // what the log line adds when notes are left out, or ""
};

TEST(MadeFilesTest, EveryKeptNoteIsWithinTenMilliseconds) {
  const MadeCase cases[] = {
      {"chords.mid", true, ""},
      {"drums.mid", true, ""},
      {"tempo_map.mid", true, ""},
      {"smpte.mid", true, ""},
      {"bend.mid", true, ""},
      {"crowd2.mid", true, "を残しました。\n"},
      // MA1: four parts, no drums
      {"chords.mid", false, "を残しました。\n"},
      {"crowd.mid", false, "を残しました。MA1 にはドラムがないためドラムの音符を省きました。\n"},
  };
  TempFolder folder;
  const auto files = MakeFiles(folder.path);
  ASSERT_EQ(files.size(), 7u);
  for (const MadeCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.ma2 ? " MA2" : " MA1"));
    const std::vector<PlayedNote>& wanted = files.at(c.file);
    std::string out;
    const std::string path = folder.path + "/" + c.file;
    ASSERT_EQ(RunQuavrexc({c.ma2 ? "--ma2" : "--ma1", "--force", path}, out), 0) << out;
    const std::string score = std::string(c.file).substr(0, std::strlen(c.file) - 4) + ".mml";
    EXPECT_EQ(out.substr(0, score.size()), score);
    EXPECT_NE(out.find(*c.dropNote != 0 ? c.dropNote : "は正しく書き出されました。\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(out.ends_with(score + " は正しく処理されました。\n")) << out;
    const std::vector<PlayedNote> played = SoundedNotes(path.substr(0, path.size() - 4) + ".MMF");
    const size_t kept = KeptNotes(out, wanted.size());
    std::string misses;
    const size_t matched = MatchNotes(wanted, played, 10.0, false, &misses);
    EXPECT_EQ(matched, kept) << misses << ReadFileBytes(path.substr(0, path.size() - 4) + ".mml");
    EXPECT_EQ(played.size(), kept);
  }
}

// The rule for notes left out keeps the highest line of the melody, the bass line, and the
// kick and snare: every one of their notes is played.
TEST(MadeFilesTest, LeftOutNotesSpareMelodyBassKickAndSnare) {
  struct Keep {
    const char* file;
    bool ma2;
    int channel;
    int lowKey;
    int highKey;
  };
  const Keep keeps[] = {
      {"crowd.mid", false, 0, 84, 88},  // the melody
      {"crowd.mid", false, 1, 40, 42},  // the bass
      {"crowd2.mid", true, 0, 89, 96},  // the melody above the chords
      {"crowd2.mid", true, 5, 28, 31},  // the bass
      {"crowd2.mid", true, 9, 36, 38},  // kick and snare
  };
  TempFolder folder;
  const auto files = MakeFiles(folder.path);
  for (const Keep& k : keeps) {
    SCOPED_TRACE(std::string(k.file) + " channel " + std::to_string(k.channel + 1));
    std::string out;
    const std::string path = folder.path + "/" + k.file;
    ASSERT_EQ(RunQuavrexc({k.ma2 ? "--ma2" : "--ma1", "--force", path}, out), 0) << out;
    std::vector<PlayedNote> wanted;
    for (const PlayedNote& note : files.at(k.file)) {
      if (note.channel == k.channel && note.key >= k.lowKey && note.key <= k.highKey) {
        wanted.push_back(note);
      }
    }
    ASSERT_FALSE(wanted.empty());
    std::string misses;
    EXPECT_EQ(MatchNotes(wanted, SoundedNotes(path.substr(0, path.size() - 4) + ".MMF"), 10.0,
                         false, &misses),
              wanted.size())
        << misses;
  }
}

}  // namespace
