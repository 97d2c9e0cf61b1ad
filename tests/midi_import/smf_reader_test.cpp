#include "midi_import/smf_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "midi_import/import_messages.h"
#include "midi_import/midi_clock.h"
#include "midi_import/midi_import.h"
#include "tests/test_util.h"

namespace im = import_messages;

namespace {

// A file of one header (format, tracks, division as hex) and the track bodies given in hex.
std::string Smf(const char* header, std::initializer_list<const char*> tracks) {
  Bytes bytes = FromHex(std::string("4D546864 00000006 ") + header);
  for (const char* track : tracks) {
    const Bytes body = FromHex(track);
    const Bytes head = FromHex("4D54726B");
    bytes.insert(bytes.end(), head.begin(), head.end());
    for (int shift = 24; shift >= 0; shift -= 8) {
      bytes.push_back(static_cast<uint8_t>(body.size() >> shift));
    }
    bytes.insert(bytes.end(), body.begin(), body.end());
  }
  return std::string(bytes.begin(), bytes.end());
}

bool Read(const std::string& bytes, SmfSong& song, SmfFault& fault) {
  return ReadSmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &song, &fault);
}

TEST(SmfReaderTest, MalformedFilesGiveTheirFaultAndOffset) {
  struct Case {
    const char* name;
    std::string bytes;
    size_t offset;
    const char* text;
  };
  const std::string note = "00 90 3C 64 60 80 3C 00 00 FF 2F 00";
  const Case cases[] = {
      // the header
      {"not MIDI", "RIFF\x10\0\0\0WAVE", 0, im::kNotMidi},
      {"short header", std::string("MThd\0\0\0\x04\0\0\0\x01", 12), 4, im::kBadHeader},
      {"header cut", std::string("MThd\0\0\0\x06\0\0", 10), 10, im::kTruncated},
      {"format 2", Smf("0002 0001 0060", {note.c_str()}), 8, im::kFormat2},
      {"format 3", Smf("0003 0001 0060", {note.c_str()}), 8, im::kBadFormat},
      {"division 0", Smf("0000 0001 0000", {note.c_str()}), 12, im::kBadDivision},
      {"23 frames", Smf("0000 0001 E928", {note.c_str()}), 12, im::kBadDivision},
      // the chunks
      {"track missing", Smf("0001 0002 0060", {note.c_str()}), 34, im::kNoTrack},
      {"track cut", Smf("0000 0001 0060", {}) + std::string("MTrk\0\0\0\x20\0\x90", 10), 18,
       im::kTruncated},
      // the events
      {"long delta", Smf("0000 0001 0060", {"FF FF FF FF 7F 90 3C 64"}), 22, im::kLongNumber},
      {"no status", Smf("0000 0001 0060", {"00 3C 64"}), 23, im::kNoStatus},
      {"status as data", Smf("0000 0001 0060", {"00 90 3C 90"}), 25, im::kBadData},
      {"system common", Smf("0000 0001 0060", {"00 F2 00 00"}), 23, im::kBadStatus},
      {"note cut", Smf("0000 0001 0060", {"00 90 3C"}), 23, im::kTruncated},
      {"meta cut", Smf("0000 0001 0060", {"00 FF 03 10 41 42"}), 23, im::kTruncated},
      {"sysex cut", Smf("0000 0001 0060", {"00 F0 05 7E 7F F7"}), 23, im::kTruncated},
      {"tempo 0", Smf("0000 0001 0060", {"00 FF 51 03 00 00 00"}), 23, im::kBadTempo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmfSong song;
    SmfFault fault;
    ASSERT_FALSE(Read(c.bytes, song, fault));
    EXPECT_EQ(fault.offset, c.offset);
    EXPECT_EQ(fault.text, c.text);
    // The converter passes the fault on and writes nothing.
    const ImportResult result =
        ImportMidi(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), {});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.hasOffset);
    EXPECT_EQ(result.offset, c.offset);
    EXPECT_TRUE(result.score.empty());
  }
}

// Running status, note-on with velocity 0 as note-off, a key struck again while it sounds
// (offs end its notes in order), a note left sounding (it ends with its track), system
// exclusive and meta events skipped, controls kept in time order across tracks.
TEST(SmfReaderTest, ReadsNotesAndControlsAsPlayed) {
  const std::string bytes =
      Smf("0001 0002 0060",
          {"00 FF 51 03 07 A1 20  00 FF 03 04 53 6F 6E 67  00 F0 03 7E 7F F7  60 FF 51 03 0F 42 40",
           "00 C1 05  00 B1 07 50  00 91 3C 64  30 3C 00  00 40 64  00 40 50  30 81 40 00  10 40 00"
           "  08 91 3E 20  10 B1 0A 20  20 FF 2F 00"});
  SmfSong song;
  SmfFault fault;
  ASSERT_TRUE(Read(bytes, song, fault)) << fault.text << " at " << fault.offset;
  EXPECT_EQ(song.title, "Song");
  ASSERT_EQ(song.notes.size(), 4u);
  struct Expected {
    int64_t on, off;
    int key, velocity;
  };
  const Expected expected[] = {{0, 0x30, 0x3C, 0x64},
                               {0x30, 0x60, 0x40, 0x64},
                               {0x30, 0x70, 0x40, 0x50},
                               {0x78, 0xA8, 0x3E, 0x20}};
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(song.notes[k].on, expected[k].on);
    EXPECT_EQ(song.notes[k].off, expected[k].off);
    EXPECT_EQ(song.notes[k].key, expected[k].key);
    EXPECT_EQ(song.notes[k].velocity, expected[k].velocity);
    EXPECT_EQ(song.notes[k].channel, 1);
  }
  ASSERT_EQ(song.controls.size(), 3u);
  EXPECT_EQ(song.controls[0].kind, SmfControlKind::kProgram);
  EXPECT_EQ(song.controls[2].kind, SmfControlKind::kPan);
  EXPECT_EQ(song.controls[2].tick, 0x88);
  // 120 beats a minute (500000 us) for 0x60 ticks, then 60.
  const MidiClock clock(song);
  EXPECT_DOUBLE_EQ(clock.Us(0x60), 500000.0);
  EXPECT_DOUBLE_EQ(clock.Us(0x90), 1000000.0);
}

TEST(SmfReaderTest, SmpteDivisionCountsFramesOfTicks) {
  struct Case {
    const char* division;
    double usOf100Ticks;
  };
  const Case cases[] = {
      {"E728", 100000.0},                          // 25 frames of 40 ticks: a millisecond a tick
      {"E850", 100 * 1e6 / (24 * 80.0)},           // 24 frames of 80
      {"E304", 100 * 1e6 / (30000.0 / 1001 * 4)},  // 29.97 frames of 4
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.division);
    SmfSong song;
    SmfFault fault;
    ASSERT_TRUE(
        Read(Smf((std::string("0000 0001 ") + c.division).c_str(), {"00 FF 2F 00"}), song, fault));
    EXPECT_NEAR(MidiClock(song).Us(100), c.usOf100Ticks, 1e-6);
  }
}

}  // namespace
