// Every file the compiler writes reads back as the events the writer kept and the voice
// records it wrote: over the examples and a table of scores that reach every encoder path.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/seq_event.h"
#include "core/sjis.h"
#include "reader/mmf_reader.h"
#include "tests/reader/compiled_score.h"
#include "tests/temp_folder.h"

namespace {

// One event as both sides can state it: time, kind, channel and parameters.
struct Comparable {
  int64_t tick;
  MmfEventKind kind;
  int channel;
  std::vector<int> params;
  bool operator==(const Comparable&) const = default;
};

std::string Describe(const Comparable& e) {
  std::ostringstream out;
  out << "t" << e.tick << " kind " << static_cast<int>(e.kind) << " ch" << e.channel << " [";
  for (int p : e.params) {
    out << p << ' ';
  }
  return out.str() + "]";
}

// What the writer's event must read back as. `lastHigh` follows the encoder: a legato change
// that keeps the high byte writes only the low byte.
Comparable Expect(const SeqEvent& e, int64_t tick, std::array<int, 4>& lastHigh) {
  std::vector<int> p;
  for (size_t i = 0; i < e.params.size(); ++i) {
    p.push_back(static_cast<int>(e.params[i]));
  }
  // The gate is a 64-bit tick count; the encoder clamps the exact value.
  int gate = p.size() > 1 ? static_cast<int>(std::clamp<int64_t>(e.params[1], 1, 16511)) : 0;
  switch (e.type) {
    case EV_NOTE:
      return {tick, MmfEventKind::kNote, e.channel, {p[0], gate}};
    case EV_ADPCM_NOTE:
      return {tick, MmfEventKind::kDirectNote, e.channel, {p[0], gate}};
    case EV_END_OF_TRACK:
      return {tick, MmfEventKind::kNop, -1, {}};
    case EV_MODULATION:
      return {tick, MmfEventKind::kModulation, e.channel, {p[0], p[1] != 0}};
    case EV_EXPRESSION:
      return {tick, MmfEventKind::kExpression, e.channel, {p[0], p[1] != 0}};
    case EV_PAN:
      return {tick, MmfEventKind::kPan, e.channel, {p[0]}};
    case EV_VOLUME:
      return {tick, MmfEventKind::kVolume, e.channel, {p[0]}};
    case EV_VOICE:
      return {tick, MmfEventKind::kVoice, e.channel, {p[0], p[0] + (p[1] == 1 ? 256 : 0)}};
    case EV_FREQ_NOTE: {
      bool legato = p[2] == 2 && p[1] == lastHigh[e.channel];
      lastHigh[e.channel] = p[1];
      int state = legato ? 2 : p[2] == 0 ? 0 : 1;
      return {tick, MmfEventKind::kFrequencyNote, e.channel, {p[0], legato ? -1 : p[1], state}};
    }
    default:
      ADD_FAILURE() << "event type " << int{e.type};
      return {};
  }
}

Comparable Read(const MmfEvent& e) {
  switch (e.kind) {
    case MmfEventKind::kNote:
      return {e.tick, e.kind, e.channel, {e.note(), int(e.gateTicks())}};
    case MmfEventKind::kDirectNote:
      return {e.tick, e.kind, e.channel, {e.waveSlot(), int(e.gateTicks())}};
    case MmfEventKind::kModulation:
    case MmfEventKind::kExpression:
      return {e.tick, e.kind, e.channel, {e.value(), e.shortForm()}};
    case MmfEventKind::kPan:
    case MmfEventKind::kVolume:
      return {e.tick, e.kind, e.channel, {e.value()}};
    case MmfEventKind::kVoice:
      return {e.tick, e.kind, e.channel, {e.voice(), e.voiceKey()}};
    case MmfEventKind::kFrequencyNote:
      return {e.tick, e.kind, e.channel, {e.fnumberLow(), e.highByte(), int(e.keyState())}};
    default:
      return {e.tick, e.kind, e.channel, {}};
  }
}

// Messages the encoder adds of its own: window shifts, slot messages, the MA1 opening, the
// FF 00 after each long delta and the end of the sequence.
bool EncoderMade(MmfEventKind kind) {
  return kind == MmfEventKind::kOctaveShift || kind == MmfEventKind::kVoiceSlots ||
         kind == MmfEventKind::kMa1Opening || kind == MmfEventKind::kNop ||
         kind == MmfEventKind::kEndOfSequence;
}

// The writer's kept events must appear in order among the read ones; whatever else was read
// must be a message the encoder adds.
void ExpectSameEvents(const EventList& written, const uint8_t* used, int64_t start,
                      const std::vector<MmfEvent>& read) {
  std::vector<Comparable> expected;
  std::array<int, 4> lastHigh{-1, -1, -1, -1};
  for (const SeqEvent& e : written) {
    if (used == nullptr || (e.channel >= 0 && used[e.channel] != 0)) {
      expected.push_back(Expect(e, e.time - start, lastHigh));
    }
  }
  size_t next = 0;
  for (const MmfEvent& e : read) {
    Comparable got = Read(e);
    if (next < expected.size() && got == expected[next]) {
      ++next;
    } else {
      ASSERT_TRUE(EncoderMade(e.kind))
          << "unexpected " << Describe(got) << " at offset " << e.offset << ", expected "
          << (next < expected.size() ? Describe(expected[next]) : "");
    }
  }
  EXPECT_EQ(next, expected.size()) << "missing " << Describe(expected[next]);
  ASSERT_FALSE(read.empty());
  EXPECT_EQ(read.back().kind, MmfEventKind::kEndOfSequence);
}

// The setup chunk holds exactly the records of the used voices, each in its slot.
void ExpectSameVoices(const CompiledScore& m, const MmfFile& file) {
  std::vector<VoiceRecord> voices;
  for (const ScoreTrack& track : file.tracks) {
    voices.insert(voices.end(), track.voices.begin(), track.voices.end());
  }
  if (m.setup.bytes.empty()) {
    EXPECT_TRUE(voices.empty());
    return;
  }
  ASSERT_EQ(voices.size(), m.tracks.usedVoices.size());
  for (size_t i = 0; i < voices.size(); ++i) {
    const VoiceRecord& v = voices[i];
    EXPECT_TRUE(v.complete);
    if (m.score.format == kFormatMa1) {
      EXPECT_EQ(v.kind, VoiceRecordKind::kMa1);
      EXPECT_EQ(v.voice, m.tracks.usedVoices[i]);
      EXPECT_EQ(v.slot, int(i));
      const auto& table = m.score.voices.ma1[v.voice];
      EXPECT_TRUE(std::equal(v.record.begin(), v.record.end(), table.begin(), table.end()));
      continue;
    }
    ASSERT_TRUE(m.setup.voiceSlotOf.count(v.voiceKey)) << v.voiceKey;
    EXPECT_EQ(v.slot, m.setup.voiceSlotOf.at(v.voiceKey));
    int inBank = v.voiceKey & 0xFF;
    if (v.voiceKey >= 256) {
      const auto& table = m.score.voices.ma2FourOp[inBank];
      EXPECT_TRUE(std::equal(v.record.begin(), v.record.end(), table.begin(), table.end()));
    } else {
      const auto& table = m.score.voices.ma2[inBank];
      EXPECT_TRUE(std::equal(v.record.begin(), v.record.end(), table.begin(), table.end()));
    }
  }
}

void ExpectRoundTrip(const CompiledScore& compiled) {
  const CompiledScore& m = compiled;
  MmfFile file = ReadMmf(compiled.image.data(), compiled.image.size());
  for (const Finding& f : file.findings) {
    ADD_FAILURE() << "finding at " << f.offset << ": " << f.text;
  }
  EXPECT_TRUE(file.ezget);
  EXPECT_EQ(file.storedCrc, file.computedCrc);
  bool audio = m.tracks.partUsed[kAdpcmSlot] != 0;
  // With an A part every track starts two ticks before the score's time 0.
  int64_t start = audio ? -2 : 0;
  size_t read = 0;
  for (int t = 0; t < (m.score.format == kFormatMa1 ? 1 : 4); ++t) {
    const uint8_t* used = &m.tracks.partUsed[size_t(4 * t)];
    if (m.tracks.trackEvents[t].empty() || !(used[0] || used[1] || used[2] || used[3])) {
      continue;
    }
    SCOPED_TRACE("track " + std::to_string(t));
    ASSERT_LT(read, file.tracks.size());
    EXPECT_EQ(file.tracks[read].number, m.score.format == kFormatMa1 ? 0 : t + 1);
    ExpectSameEvents(m.tracks.trackEvents[t], used, start, file.tracks[read].events);
    ++read;
  }
  EXPECT_EQ(read, file.tracks.size());
  EXPECT_EQ(file.hasAudio, audio);
  if (audio) {
    ExpectSameEvents(m.tracks.adpcmEvents, nullptr, start, file.audio.events);
    int waves = int(std::count(m.tracks.waveUsed.begin(), m.tracks.waveUsed.end(), 1));
    EXPECT_EQ(int(file.audio.waves.size()), waves);
  }
  ExpectSameVoices(m, file);
}

// The encoder paths a file shows: "shift+" and "shift-" (window moved up or down), "on",
// "off", "legato" (frequency key states), "slot1" and "slot2" (a slot message that split a
// one- or two-byte delta), "long" (an FF 00 step of a delta above 16511).
std::set<std::string> PathsShown(const MmfFile& file, const Bytes& image) {
  std::set<std::string> paths;
  for (const ScoreTrack& track : file.tracks) {
    std::array<int, 4> shift{};
    for (size_t i = 0; i < track.events.size(); ++i) {
      const MmfEvent& e = track.events[i];
      if (e.kind == MmfEventKind::kOctaveShift) {
        if (e.shift() != shift[e.channel]) {
          paths.insert(e.shift() > shift[e.channel] ? "shift+" : "shift-");
        }
        shift[e.channel] = e.shift();
      } else if (e.kind == MmfEventKind::kFrequencyNote) {
        paths.insert(e.keyState() == KeyState::kOn    ? "on"
                     : e.keyState() == KeyState::kOff ? "off"
                                                      : "legato");
      } else if (e.kind == MmfEventKind::kNop && i + 2 < track.events.size()) {
        paths.insert("long");
      } else if (e.kind == MmfEventKind::kVoiceSlots && i + 1 < track.events.size() &&
                 track.events[i + 1].tick > e.tick) {
        // The exclusive took a delta ending in 00: (hi, 00) for a split two-byte delta.
        bool twoByte = image[e.offset - 1] == 0 && (image[e.offset - 2] & 0x80) != 0;
        paths.insert(twoByte ? "slot2" : "slot1");
      }
    }
  }
  return paths;
}

struct RoundTripCase {
  const char* what;
  const char* score;
  bool ma2;
  bool voiceSetup;
  std::vector<std::string> reaches;  // encoder paths the file must show
};

const RoundTripCase kRoundTrips[] = {
    // MA1 and MA2 basics, with and without the MA1 voice setup
    {"MA1 melody", "1[@3 V12 O4 CDEFGAB>C]2[@9 L8 O3 C4 E G]", false, false, {}},
    {"MA1 voices", "1[@3 CDE]2[@0 C]3[@5 G]", false, true, {}},
    {"MA2 controls", "1[@V100 P1 @P90 X3 @X120 @M40 C D]2[@M0 P2 C]", true, false, {}},
    // windows: up from 0, back down, two steps down and the nearest window from +2
    {"windows both ways", "1[O4 C O7 C O4 C O1 C# O6 G O4 G]", true, false, {"shift+", "shift-"}},
    {"MA1 high window", "1[O2 C# O7 C O2 C#]", false, false, {"shift+", "shift-"}},
    // frequency notes: key-on, legato change (same and other high byte), key-off
    {"frequency notes", "1[@K4 C D & E & G > C & < C]", true, false, {"on", "off", "legato"}},
    {"portamento", "1[(CG)2 (G>C)4]", true, false, {}},
    // a voice number used by two slots: slot messages after one- and two-byte deltas
    {"slot messages", "1[@O4 @0 C]2[@0 C @1 C @0]3[@1 R2 R16 C]", true, false, {"slot1"}},
    {"slot messages far", "1[@O4 @0 C]2[@0 C @0]3[@1 R1 C]", true, false, {"slot2"}},
    // deltas above 16511 (FF 7F FF 00 steps) and a gate above it (clamped)
    {"long delta", "1[T30 C R1R1R1R1R1R1R1R1R1R1 C]", true, false, {"long"}},
    {"long gate", "1[T30 C1^1^1^1^1^1^1^1^1^1]", false, false, {}},
    // silent channels: a part that only rests is skipped, and so is its track
    {"skipped silent channel", "1[R]2[C]5[V10 R]9[E]", true, false, {}},
    {"drum voice", "10[N10 @152 C]1[@0 C]", true, false, {}},
    {"timebases", "D[@R16 @L3] 1[C D E]", true, false, {}},
    {"contents", "C[ST:Song\\, two,CR:A,] 1[C]", true, false, {}},
    // values holding what escapes write: a comma, a lead byte or a backslash before the comma
    // that ends them (read back sound, as every compiled file here)
    {"contents holding commas", "C[Z9:\\x2C\\x55,ST:a\\x2Cb\\x81,CR:\\x5C,] 1[C]", true, false, {}},
};

TEST(RoundTripTest, ScoresReachingEveryEncoderPath) {
  TempFolder folder;
  for (const RoundTripCase& c : kRoundTrips) {
    SCOPED_TRACE(c.what);
    CompiledScore compiled = CompileInMemory(c.score, c.ma2, c.voiceSetup, folder.path);
    ASSERT_TRUE(compiled.ok) << SjisToUtf8(compiled.message);
    ExpectRoundTrip(compiled);
    MmfFile file = ReadMmf(compiled.image.data(), compiled.image.size());
    std::set<std::string> shown = PathsShown(file, compiled.image);
    for (const std::string& path : c.reaches) {
      EXPECT_TRUE(shown.count(path)) << "does not reach " << path;
    }
  }
}

TEST(RoundTripTest, AudioTrackWithWaves) {
  TempFolder folder;
  folder.Put("a.adp", std::string(300, '\x11'));
  folder.Put("b.adp", std::string(4000, '\x22'));
  CompiledScore compiled = CompileInMemory("F[S4 A<a.adp> B<b.adp> C<c.adp>] A[A4 B8 R A1] 1[C]",
                                           true, false, folder.path);
  ASSERT_TRUE(compiled.ok) << SjisToUtf8(compiled.message);
  ExpectRoundTrip(compiled);
  MmfFile file = ReadMmf(compiled.image.data(), compiled.image.size());
  ASSERT_EQ(file.audio.waves.size(), 2u);
  EXPECT_EQ(file.audio.sampleRate, 4000);
  EXPECT_EQ(file.audio.waves[1].slot, 2);
  EXPECT_EQ(file.audio.waves[1].byteCount, 4000u);
  EXPECT_EQ(file.audio.waves[1].durationMs, 2000);  // 8000 samples at 4 kHz
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RoundTripTest, Examples) {
  const std::filesystem::path examples = std::filesystem::path(QUAVREX_SOURCE_DIR) / "examples";
  struct Example {
    const char* score;
    bool ma2;
  };
  for (const Example& e : {Example{"minuet.mml", false}, Example{"overture.mml", true},
                           Example{"doorbell.mml", true}}) {
    SCOPED_TRACE(e.score);
    for (bool voiceSetup : {false, true}) {
      CompiledScore compiled =
          CompileInMemory(ReadFile(examples / e.score), e.ma2, voiceSetup, examples.string());
      ASSERT_TRUE(compiled.ok) << SjisToUtf8(compiled.message);
      ExpectRoundTrip(compiled);
    }
  }
}

}  // namespace
