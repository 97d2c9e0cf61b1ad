#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/sjis.h"
#include "mmf/mmf_image.h"
#include "mmf/track_encoder.h"
#include "tests/temp_folder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_view_literals;

void Add(EventList& list, int64_t time, int type, EventParams params, int channel) {
  list.Add(MakeEvent(time, type, params, channel));
}

// What the writer is given, set by hand.
struct Writer {
  SplitScore score;
  CompiledTracks tracks;
  SetupChunk setup;

  void SetFormat(int format) { score.format = format; }
  // The writer's image, or its message.
  StageResult<Bytes> BuildMmf(const std::string& sourcePath) {
    for (EventList& track : tracks.trackEvents) {
      track.Sort();
    }
    tracks.adpcmEvents.Sort();
    return ::BuildMmf(score, tracks, setup, sourcePath);
  }
};

Bytes Build(Writer& c, const std::string& sourcePath = "/nowhere/song.mml") {
  StageResult<Bytes> image = c.BuildMmf(sourcePath);
  EXPECT_TRUE(image.ok()) << SjisToUtf8(image.fault().message);
  return image.ok() ? image.value() : Bytes();
}

std::string Row(const Bytes& bytes) {
  std::string dump = HexDump(bytes);
  std::replace(dump.begin(), dump.end(), '\n', ' ');
  return dump;
}

// `size` bytes of `image` from `at`.
Bytes Slice(const Bytes& image, size_t at, size_t size) {
  return Bytes(image.data() + at, image.data() + at + size);
}

uint32_t Be32(const Bytes& image, size_t at) {
  return (uint32_t{image[at]} << 24) | (uint32_t{image[at + 1]} << 16) |
         (uint32_t{image[at + 2]} << 8) | uint32_t{image[at + 3]};
}

std::string TagName(const Bytes& image, size_t at) {
  std::string tag(image.data() + at, image.data() + at + 3);
  uint8_t last = image[at + 3];
  return tag + (last < 16 ? std::to_string(last) : std::string(1, char(last)));
}

// The chunk outline of a finished image, read through its sizes:
// "CNTI:5 MTR1:46{Mtsu:8 Mtsq:32} ATR0:52{Atsq:14 Awa1:16}".
std::string Outline(const Bytes& image) {
  std::string out;
  size_t end = 8 + Be32(image, 4) - 2;
  for (size_t at = 8; at + 8 <= end;) {
    uint32_t size = Be32(image, at + 4);
    out += (out.empty() ? "" : " ") + TagName(image, at) + ":" + std::to_string(size);
    bool track = image[at] == 'M' ? image[at + 1] == 'T' : image[at] == 'A';
    if (track) {
      std::string inner;
      for (size_t sub = at + 14; sub + 8 <= at + 8 + size; sub += 8 + Be32(image, sub + 4)) {
        inner += (inner.empty() ? "" : " ") + TagName(image, sub) + ":" +
                 std::to_string(Be32(image, sub + 4));
      }
      out += "{" + inner + "}";
    }
    at += 8 + size;
  }
  return out;
}

bool TagAt(const Bytes& image, size_t at, std::string_view tag) {
  return std::string_view(reinterpret_cast<const char*>(&image[at]), 4) == tag;
}

// The body of a chunk or sub-chunk tagged `tag` (the occurrence-th), found through the sizes.
Bytes Body(const Bytes& image, std::string_view tag, int occurrence = 0) {
  size_t end = 8 + Be32(image, 4) - 2;
  for (size_t at = 8; at + 8 <= end;) {
    uint32_t size = Be32(image, at + 4);
    if (TagAt(image, at, tag) && occurrence-- == 0) {
      return Slice(image, at + 8, size);
    }
    bool track = image[at] == 'M' ? image[at + 1] == 'T' : image[at] == 'A';
    size_t first = track ? at + 14 : at + 8 + size;
    for (size_t sub = first; sub + 8 <= at + 8 + size; sub += 8 + Be32(image, sub + 4)) {
      if (TagAt(image, sub, tag) && occurrence-- == 0) {
        return Slice(image, sub + 8, Be32(image, sub + 4));
      }
    }
    at += 8 + size;
  }
  return {};
}

// ---- Whole images --------------------------------------------------------------------------

TEST(MmfWriterTest, Ma1HeaderBytesAndSetupChunkComeFromTheCompiler) {
  Writer c;
  c.tracks.partUsed[0] = 1;
  c.score.voices.contentsStatus = 3;
  c.score.voices.exclusiveParam = 0x22;
  c.score.voices.durationBase = 0x10;
  c.score.voices.gateBase = 0x13;
  c.score.contentsOptions = FromHex("53 54 3A 61 2C");  // ST:a,
  c.setup.bytes = FromHex("4D 74 73 75 00 00 00 00 FF F0 05 43 02 80 22 F7");
  Add(c.tracks.trackEvents[0], 0, EV_NOTE, {60, 1}, 0);
  Add(c.tracks.trackEvents[0], 1, EV_END_OF_TRACK, {}, 0);
  Bytes image = Build(c);
  EXPECT_EQ(Outline(image), "CNTI:10 MTR0:50{Mtsu:8 Mtsq:20}");
  EXPECT_EQ(Row(Body(image, "CNTI")), "00 00 00 03 00 53 54 3A 61 2C");
  EXPECT_EQ(Row(Slice(image, 34, 6)), "00 00 10 13 00 00");
  EXPECT_EQ(Row(Body(image, "Mtsq")),
            "00 FF F0 06 43 01 80 31 22 F7 00 1C 01 01 FF 00 00 00 00 00");
}

TEST(MmfWriterTest, Ma2WritesOnlyTracksWithASoundingSlot) {
  Writer c;
  c.SetFormat(kFormatMa2);
  c.tracks.partUsed[0] = 1;  // track 1, channel 0
  c.tracks.partUsed[9] = 1;  // track 3, channel 1
  c.setup.bytes = FromHex("4D 74 73 75 00 00 00 00 FF F0 05 43 02 80 10 F7");
  Add(c.tracks.trackEvents[0], 0, EV_NOTE, {60, 10}, 0);
  Add(c.tracks.trackEvents[0], 10, EV_END_OF_TRACK, {}, 0);
  Add(c.tracks.trackEvents[1], 0, EV_VOLUME, {100}, 1);  // slot 5 never sounded
  Add(c.tracks.trackEvents[1], 0, EV_END_OF_TRACK, {}, -1);
  Add(c.tracks.trackEvents[2], 0, EV_NOTE, {60, 10}, 1);
  Add(c.tracks.trackEvents[2], 10, EV_END_OF_TRACK, {}, 1);
  Bytes image = Build(c);
  EXPECT_EQ(Outline(image), "CNTI:5 MTR1:44{Mtsu:8 Mtsq:14} MTR3:28{Mtsq:14}");
  // Each track starts with a fresh encoder: both announce window 0 before their first note.
  EXPECT_EQ(Row(Body(image, "Mtsq", 0)), "00 00 32 00 00 1C 0A 0A FF 00 00 00 00 00");
  EXPECT_EQ(Row(Body(image, "Mtsq", 1)), "00 00 72 00 00 5C 0A 0A FF 00 00 00 00 00");
}

TEST(MmfWriterTest, EventsOfSilentChannelsFoldIntoTheNextDelta) {
  Writer c;
  c.SetFormat(kFormatMa2);
  c.tracks.partUsed[4] = 1;  // track 2, channel 0; channel 1 (slot 5) only rests
  EventList& track = c.tracks.trackEvents[1];
  Add(track, 5, EV_VOLUME, {100}, 1);
  Add(track, 10, EV_NOTE, {60, 5}, 0);
  Add(track, 12, EV_PAN, {64}, 1);
  Add(track, 20, EV_END_OF_TRACK, {}, 0);
  Bytes image = Build(c);
  EXPECT_EQ(Outline(image), "CNTI:5 MTR2:28{Mtsq:14}");
  EXPECT_EQ(Row(Body(image, "Mtsq")), "0A 00 32 00 00 1C 05 0A FF 00 00 00 00 00");
}

// A track of many events is written in runs: across their ends, with long deltas and events of a
// silent channel anywhere, it must read as its events encoded one by one.
TEST(MmfWriterTest, ALongTrackIsItsEventsEncodedOneByOne) {
  Writer c;
  c.SetFormat(kFormatMa2);
  c.tracks.partUsed[4] = 1;  // track 2, channel 0; channel 1 (slot 5) is silent
  static constexpr int64_t kGaps[] = {1, 3, 130, 16511, 16512, 40000, 1, 2, 7, 1};
  Bytes expected;
  TrackEncoderState state;
  int64_t time = 0;
  int64_t previous = 0;
  for (int i = 0; i < 1500; ++i) {
    time += kGaps[(i * 7 + i / 13) % 10];
    const int channel = i % 5 == 2 ? 1 : 0;
    const SeqEvent event = i % 3 == 0 ? MakeEvent(time, EV_VOLUME, {i % 128}, channel)
                                      : MakeEvent(time, EV_NOTE, {30 + i % 60, i % 300}, channel);
    c.tracks.trackEvents[1].Add(event);
    if (channel == 0) {
      EncodeDelta(expected, time - previous);
      EncodeEvent(event, expected, kFormatMa2, 1, c.setup.voiceSlotOf, c.setup.voiceSlotUse, state);
      previous = time;
    }
  }
  const SeqEvent end = MakeEvent(time + 1, EV_END_OF_TRACK, {}, 0);
  c.tracks.trackEvents[1].Add(end);
  EncodeDelta(expected, end.time - previous);
  EncodeEvent(end, expected, kFormatMa2, 1, c.setup.voiceSlotOf, c.setup.voiceSlotUse, state);
  expected.insert(expected.end(), 4, 0x00);
  EXPECT_EQ(Body(Build(c), "Mtsq"), expected);
}

TEST(MmfWriterTest, AnAPartDelaysEveryTrackByTwoTicks) {
  TempFolder folder;
  std::string source = folder.Put("song.mml", "");
  folder.Put("w.adp", "\x12\x34");
  Writer c;
  c.SetFormat(kFormatMa2);
  c.tracks.partUsed[0] = 1;
  c.tracks.partUsed[kAdpcmSlot] = 1;
  c.score.waves.fileName[0] = "w.adp";
  c.tracks.waveUsed[0] = 1;
  Add(c.tracks.trackEvents[0], 3, EV_NOTE, {60, 1}, 0);
  Add(c.tracks.trackEvents[0], 4, EV_END_OF_TRACK, {}, 0);
  Add(c.tracks.adpcmEvents, 0, EV_ADPCM_NOTE, {1, 7}, 0);
  Add(c.tracks.adpcmEvents, 8, EV_END_OF_TRACK, {}, 0);
  Bytes image = Build(c, source);
  EXPECT_EQ(Outline(image), "CNTI:5 MTR1:28{Mtsq:14} ATR0:34{Atsq:10 Awa1:2}");
  EXPECT_EQ(Row(Body(image, "Mtsq")), "05 00 32 00 00 1C 01 01 FF 00 00 00 00 00");
  EXPECT_EQ(Row(Body(image, "Atsq")), "02 01 07 08 FF 00 00 00 00 00");
}

TEST(MmfWriterTest, OnlyPlayedWavesAreEmbeddedInSlotOrder) {
  TempFolder folder;
  std::string source = folder.Put("song.mml", "");
  folder.Put("a.adp", "\xAA");
  folder.Put("c.adp", "\xCC\xCC");
  Writer c;
  c.SetFormat(kFormatMa2);
  c.tracks.partUsed[kAdpcmSlot] = 1;
  c.score.waves.fileName[0] = "a.adp";
  c.score.waves.fileName[1] = "missing-but-never-played.adp";
  c.score.waves.fileName[2] = "c.adp";
  c.tracks.waveUsed[2] = 1;
  c.tracks.waveUsed[0] = 1;
  Add(c.tracks.adpcmEvents, 0, EV_ADPCM_NOTE, {3, 1}, 0);
  Add(c.tracks.adpcmEvents, 1, EV_END_OF_TRACK, {}, 0);
  Bytes image = Build(c, source);
  EXPECT_EQ(Outline(image), "CNTI:5 ATR0:43{Atsq:10 Awa1:1 Awa3:2}");
}

// ---- Wave file lookup ----------------------------------------------------------------------

TEST(MmfWriterTest, WaveFilesAreFoundAsWrittenOrBesideTheScore) {
  struct Case {
    const char* placed;  // where the wave lies, inside the score's folder
    std::string name;    // the name as the file list writes it (Shift-JIS)
    bool found;
  };
  TempFolder folder;
  std::string source = folder.Put("scores/song.mml", "");
  const Case cases[] = {
      // beside the score
      {"scores/w.adp", "w.adp", true},
      // a folder below the score's, with and without a leading backslash
      {"scores/sub/w.adp", "sub\\w.adp", true},
      {"scores/sub/w.adp", "\\sub\\w.adp", true},
      // a full path, found as written
      {"elsewhere/w.adp", folder.path + "/elsewhere/w.adp", true},
      // a double-byte character ending in 0x5C is no folder separator
      {"scores/\xE8\xA1\xA8.adp", "\x95\x5C.adp", true},
      // not there, or a folder
      {"scores/w.adp", "other.adp", false},
      {"scores/sub/w.adp", "sub", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string wave = folder.Put(c.placed, "\x5A\x5A\x5A");
    Writer compiler;
    compiler.SetFormat(kFormatMa2);
    compiler.tracks.partUsed[kAdpcmSlot] = 1;
    compiler.score.waves.fileName[4] = c.name;
    compiler.tracks.waveUsed[4] = 1;
    Add(compiler.tracks.adpcmEvents, 0, EV_ADPCM_NOTE, {5, 1}, 0);
    const StageResult<Bytes> image = compiler.BuildMmf(source);
    EXPECT_EQ(image.ok(), c.found);
    if (c.found) {
      EXPECT_EQ(Row(Body(image.value(), "Awa\x05"sv)), "5A 5A 5A");
    } else {
      EXPECT_EQ(image.fault().message,
                Sjis("ADPCMファイル\"") + c.name + Sjis("\"が見つかりませんでした。"));
    }
    std::filesystem::remove(wave);
  }
}

TEST(MmfWriterTest, OnlyRegularFilesAreWaves) {
  // A pipe would wait for a writer for ever, a device would be read as whatever it yields.
  TempFolder folder;
  std::string source = folder.Put("song.mml", "");
  ASSERT_EQ(::mkfifo((folder.path + "/pipe.adp").c_str(), 0600), 0);
  for (const std::string& name : {std::string("pipe.adp"), std::string("/dev/zero")}) {
    SCOPED_TRACE(name);
    Writer c;
    c.SetFormat(kFormatMa2);
    c.tracks.partUsed[kAdpcmSlot] = 1;
    c.score.waves.fileName[0] = name;
    c.tracks.waveUsed[0] = 1;
    Add(c.tracks.adpcmEvents, 0, EV_ADPCM_NOTE, {1, 1}, 0);
    const StageResult<Bytes> image = c.BuildMmf(source);
    EXPECT_FALSE(image.ok());
    EXPECT_EQ(image.fault().message,
              Sjis("ADPCMファイル\"") + name + Sjis("\"が見つかりませんでした。"));
  }
}

TEST(MmfWriterTest, AScoreWithoutNotesHasNothingToWrite) {
  Writer c;
  Add(c.tracks.trackEvents[0], 0, EV_VOLUME, {96}, 0);  // events, but no slot sounded
  const StageResult<Bytes> image = c.BuildMmf("song.mml");
  EXPECT_FALSE(image.ok());
  EXPECT_EQ(image.fault().message, Sjis("音符データがありませんでした。"));
}

}  // namespace
