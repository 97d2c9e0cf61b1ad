// Real clients read what the exporter makes. Debian's python3-mido reads every .mid back: its
// notes (channel, key, on and off in milliseconds) must be the reader's events of the .MMF,
// for the file made while compiling (the score's tempo) and for the .MMF alone (tempo 120).
// Debian's fluidsynth renders the bundled MA2 example for as long as the tune lasts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "export/midi_output.h"
#include "job/file_services.h"
#include "reader/mmf_reader.h"
#include "tests/temp_folder.h"

namespace {

// Debian's interpreter, which has python3-mido.
const std::string kPython =
    std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";

// One line per file, fields split by tabs: the division; the tempos; the notes ("channel key
// on off", on and off rounded to the millisecond), sorted; the other messages in playing order.
constexpr const char* kMidoScript = R"(
import sys, mido
for path in sys.argv[1:]:
    f, now, on, notes, tempos = mido.MidiFile(path), 0.0, {}, [], []
    other = ['name %d %s' % (i, m.name) for i, t in enumerate(f.tracks) for m in t if m.type == 'track_name']
    for m in f:
        now += m.time * 1000.0
        key = (getattr(m, 'channel', 0), getattr(m, 'note', 0))
        if m.type == 'set_tempo': tempos.append(str(round(mido.tempo2bpm(m.tempo), 3)))
        elif m.type == 'note_on' and m.velocity > 0: on.setdefault(key, []).append(now)
        elif m.type in ('note_on', 'note_off'): notes.append('%d %d %d %d' % (*key, round(on[key].pop(0)), round(now)))
        elif m.type == 'control_change': other.append('cc %d %d %d' % (m.channel, m.control, m.value))
        elif m.type == 'program_change': other.append('program %d %d' % (m.channel, m.program))
        elif m.type == 'pitchwheel': other.append('bend %d %d' % (m.channel, m.pitch))
    print(f.ticks_per_beat, ' '.join(tempos), ', '.join(sorted(notes)), '|'.join(other), sep='\t')
)";

// Runs `script` with `args`; returns its output lines, each split at its tabs.
std::vector<std::vector<std::string>> RunPython(const char* script, const std::string& args) {
  ::setenv("QUAVREX_SCRIPT", script, 1);
  std::vector<std::vector<std::string>> lines;
  std::FILE* pipe = ::popen((kPython + " -c \"$QUAVREX_SCRIPT\" " + args).c_str(), "r");
  char buffer[4096];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::istringstream line(std::string(buffer, std::strlen(buffer) - 1));
    lines.emplace_back();
    for (std::string field; std::getline(line, field, '\t');) {
      lines.back().push_back(field);
    }
  }
  EXPECT_TRUE(pipe != nullptr && ::pclose(pipe) == 0) << "python3 failed on " << args;
  return lines;
}

// The reader's notes as the script prints them; `keys` gives "channel:key" of each in the
// order the .MMF starts them (time, then channel). A frequency-mode note runs from its key-on
// through its legato changes to its key-off.
std::string ReaderNotes(const MmfFile& file, const std::string& keys) {
  std::vector<std::vector<int64_t>> notes;  // on, channel, off
  std::map<int, size_t> held;
  for (const ScoreTrack& track : file.tracks) {
    for (const MmfEvent& e : track.events) {
      bool frequency = e.kind == MmfEventKind::kFrequencyNote;
      if (e.kind == MmfEventKind::kNote) {
        notes.push_back({e.ms(), e.absChannel, e.ms() + e.gateMs()});
      } else if (frequency && e.keyState() == KeyState::kOff) {
        notes[held.at(e.absChannel)][2] = e.ms();
        held.erase(e.absChannel);
      } else if (frequency && held.emplace(e.absChannel, notes.size()).second) {
        notes.push_back({e.ms(), e.absChannel, -1});
      }
    }
  }
  std::stable_sort(notes.begin(), notes.end());
  std::istringstream keyList(keys);
  std::vector<std::string> lines;
  for (const auto& n : notes) {
    std::string key;
    keyList >> key;
    key[key.find(':')] = ' ';
    lines.push_back(key + " " + std::to_string(n[0]) + " " + std::to_string(n[2]));
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) {
    out += (out.empty() ? "" : ", ") + line;
  }
  return out;
}

struct MidoCase {
  bool ma2;
  const char* score;
  const char* keys;    // "channel:key" of each note, in the order the .MMF starts them
  const char* tempos;  // the tempo events of the score's file
  const char* lines;   // lines that come in this order among the others, "|" between them
};

const MidoCase kCases[] = {
    // MA1: channels as they are, default voice and volume, the score's tempo changes
    {false, "1[T90 O4 L4 C D T150 E] 2[O3 G2 G2]", "0:60 1:55 0:62 0:64 1:55", "90.0 150.0",
     "name 1 Channel 1|program 0 0|cc 0 7 96|program 1 0"},
    // two "T" at one moment: the higher part's wins; a repeated tempo is no change
    {true, "1[T90 C T100 C] 2[T150 C T100 C]", "0:60 1:60 0:60 1:60", "150.0 100.0", ""},
    // controls and their value scales
    {true, "1[@5 V12 P1 X3 @M64 C @V100 @P100 @X50 @M0 D]", "0:60 0:62", "120.0",
     "program 0 5|cc 0 7 103|cc 0 11 31|cc 0 10 0|cc 0 1 63|cc 0 7 100|cc 0 11 50|cc 0 10 100|"
     "cc 0 1 15"},
    // the rhythm part never selects a voice: it stays on channel 10 with its keys
    {true, "1[O4 C] 2[N10 O3 C D]", "0:60 9:48 9:50", "120.0", "name 2 Channel 10|cc 9 7 96"},
    // a melodic part on channel 9 (six four-operator parts) moves to the first free channel
    {true, "1[@O4 C] 2[@O4 C] 3[@O4 C] 4[@O4 C] 5[@O4 C] 6[@O4 @3 D]",
     "0:60 1:60 2:60 3:60 8:60 4:62", "120.0", "program 4 3"},
    // ... but stays when all sixteen channels are in use
    {true, "1[C]2[C]3[C]4[C]5[C]6[C]7[C]8[C]9[C]10[D]11[C]12[C]13[C]14[C]15[C]16[C]",
     "0:60 1:60 2:60 3:60 4:60 5:60 6:60 7:60 8:60 9:62 10:60 11:60 12:60 13:60 14:60 15:60",
     "120.0", "name 10 Channel 10"},
    // drum voices go to channel 10 as their drum note, note by note
    {true, "1[@152 C D @0 E]", "9:24 9:24 0:64", "120.0", "cc 0 7 96|program 0 0"},
    // frequency mode: @K8 C sounds a hair above C + 1/2: key 61 bent down; the glide E to G
    // needs a range of 3; the bend is centred before each ordinary note
    {true, "1[@K8 C4 @K0 D4 (EG)4 A4]", "0:61 0:62 0:64 0:69", "120.0",
     "cc 0 6 3|bend 0 -1362|bend 0 0|bend 0 -55|bend 0 8126|bend 0 0"},
    // the A part is left out; the score tracks start two ticks late, and so do the tempos
    {true, "F[ S8 A<chime.adp> ] A[T96 A] 1[T96 C R C]", "0:60 0:60", "96.0", ""},
    // the title from the contents field
    {true, "C[ ST:Ring\\, Tone, ] 1[T200 C]", "0:60", "200.0", "name 0 Ring, Tone"},
};

// Compiles `score` as `name`.mml in `folder` and writes its .mid as "--midi" does.
CompileProducts CompileWithMidi(const TempFolder& folder, const std::string& name,
                                const std::string& score, bool ma2) {
  FileCompileServices services;
  CompileOptions options;
  options.ma2 = ma2;
  CompileProducts products;
  std::string log;
  EXPECT_EQ(CompileFile(folder.Put(name + ".mml", score), options, log, services, &products),
            CompileOutcome::kWritten);
  EXPECT_TRUE(WriteMidiOfScore(products, log, services)) << log;
  return products;
}

bool Have(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(MidiClientTest, MidoHearsTheNotesOfTheMmf) {
  if (!Have(kPython + " -c 'import mido'")) {
    GTEST_SKIP() << "python3-mido is not installed";
  }
  TempFolder folder;
  folder.Put("chime.adp", std::string(256, '\x11'));
  std::string files;
  std::vector<MmfFile> models;
  for (size_t i = 0; i < std::size(kCases); ++i) {
    const std::string name = "s" + std::to_string(i);
    CompileProducts products = CompileWithMidi(folder, name, kCases[i].score, kCases[i].ma2);
    models.push_back(ReadMmf(products.image.data(), products.image.size()));
    std::filesystem::copy_file(folder.path + "/" + name + ".MMF",
                               folder.path + "/a" + name + ".MMF");
    FileCompileServices services;
    std::string log;
    EXPECT_TRUE(WriteMidiOfMmf(folder.path + "/a" + name + ".MMF", log, services)) << log;
    files += " " + folder.path + "/" + name + ".mid " + folder.path + "/a" + name + ".mid";
  }
  const auto heard = RunPython(kMidoScript, files);
  ASSERT_EQ(heard.size(), 2 * std::size(kCases));
  for (size_t i = 0; i < std::size(kCases); ++i) {
    const MidoCase& c = kCases[i];
    SCOPED_TRACE(c.score);
    const std::vector<std::string>& score = heard[2 * i];
    const std::vector<std::string>& alone = heard[2 * i + 1];
    ASSERT_EQ(score.size(), 4u);
    EXPECT_EQ(score[2], ReaderNotes(models[i], c.keys));
    EXPECT_EQ(score[1], c.tempos);
    // From the .MMF alone: the same notes, tempo 120 and a tick a millisecond.
    EXPECT_EQ(alone[2], score[2]);
    EXPECT_EQ(alone[0] + " " + alone[1], "500 120.0");
    const std::string others = "|" + score[3] + "|";
    size_t at = 0;
    std::istringstream lines(c.lines);
    for (std::string line; std::getline(lines, line, '|'); ++at) {
      at = others.find("|" + line + "|", at);
      ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line;
    }
  }
}

TEST(MidiClientTest, FluidsynthRendersTheWholeTune) {
  const std::string font = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
  if (!Have("command -v fluidsynth") || !std::filesystem::exists(font)) {
    GTEST_SKIP() << "fluidsynth or fluid-soundfont-gm is not installed";
  }
  TempFolder folder;
  std::ifstream in(std::string(QUAVREX_SOURCE_DIR) + "/examples/overture.mml", std::ios::binary);
  std::string score((std::istreambuf_iterator<char>(in)), {});
  CompileProducts products = CompileWithMidi(folder, "overture", score, true);
  int64_t tuneMs = 0;  // the end of the last note
  for (const ScoreTrack& track : ReadMmf(products.image.data(), products.image.size()).tracks) {
    for (const MmfEvent& e : track.events) {
      tuneMs = std::max(tuneMs, e.ms() + std::max<int64_t>(0, e.gateMs()));
    }
  }
  ASSERT_TRUE(Have("fluidsynth -ni -q -F " + folder.path + "/o.wav -r 44100 " + font + " " +
                   folder.path + "/overture.mid"));
  // Length in ms, the loudest sample, and the loudest in the tune's last second.
  const auto heard = RunPython(R"(
import sys, wave, array
w = wave.open(sys.argv[1]); rate, ch = w.getframerate(), w.getnchannels()
a = array.array('h', w.readframes(w.getnframes())); end = int(sys.argv[2])
peak = lambda f, t: max((abs(x) for x in a[f * rate // 1000 * ch:t * rate // 1000 * ch]), default=0)
print(w.getnframes() * 1000 // rate, peak(0, 10**9), peak(end - 1000, end))
)",
                               folder.path + "/o.wav " + std::to_string(tuneMs));
  ASSERT_EQ(heard.size(), 1u);
  int64_t renderedMs = 0, peak = 0, lastSecond = 0;
  std::istringstream(heard[0][0]) >> renderedMs >> peak >> lastSecond;
  EXPECT_GT(tuneMs, 10000);
  EXPECT_GE(renderedMs, tuneMs - 20);    // the whole tune
  EXPECT_LE(renderedMs, tuneMs + 4000);  // and the release of its last notes at most
  EXPECT_GT(peak, 3000);
  EXPECT_GT(lastSecond, 300);
}

}  // namespace
