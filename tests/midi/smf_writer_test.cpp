#include "midi/smf_writer.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace {

TEST(SmfWriterTest, VariableLengthNumbers) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "00"},
      {0x7F, "7F"},
      {0x80, "81 00"},
      {0x3FFF, "FF 7F"},
      {0x4000, "81 80 00"},
      {0x200000, "81 80 80 00"},
      {0x0FFFFFFF, "FF FF FF 7F"},
  };
  for (const auto& [value, bytes] : cases) {
    SCOPED_TRACE(value);
    Bytes out;
    AppendVariableLength(out, value);
    EXPECT_EQ(HexDump(out), HexDump(FromHex(bytes)));
  }
}

// Events of one tick come out by rank whatever the order they were added in (equal ranks in
// that order); a track ends at its end tick when that is later than its last event.
TEST(SmfWriterTest, WholeFile) {
  SmfTrack conductor;
  conductor.events.push_back({0, 0, TempoEvent(500000)});
  conductor.endTick = 300;
  SmfTrack notes;
  notes.events.push_back({200, 3, NoteOn(0, 62, 100)});
  notes.events.push_back({200, 1, NoteOff(0, 60)});
  notes.events.push_back({0, 3, NoteOn(0, 60, 100)});
  notes.events.push_back({200, 1, PitchBend(0, -8192)});
  notes.events.push_back({200, 2, PitchBend(0, 20000)});
  notes.events.push_back({0, 2, ControlChange(0, 7, 200)});
  // clang-format off
  const Bytes expected = FromHex(
      "4D 54 68 64  00 00 00 06  00 01  00 02  01 F4"  // MThd, format 1, 2 tracks, 500
      "4D 54 72 6B  00 00 00 0C"                       // MTrk, 12 bytes
      "00 FF 51 03 07 A1 20"                           // tempo 120
      "82 2C FF 2F 00"                                 // end at tick 300
      "4D 54 72 6B  00 00 00 1D"                       // MTrk, 29 bytes
      "00 B0 07 7F"                                    // tick 0: volume, held to 127
      "00 90 3C 64"                                    //         note on 60
      "81 48 80 3C 40"                                 // tick 200: note off 60
      "00 E0 00 00"                                    //   lowest bend
      "00 E0 7F 7F"                                    //   highest bend (held)
      "00 90 3E 64"                                    //   note on 62
      "00 FF 2F 00");
  // clang-format on
  EXPECT_EQ(HexDump(BuildSmf(500, {conductor, notes})), HexDump(expected));
}

}  // namespace
