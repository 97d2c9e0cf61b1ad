#include "mmf/track_encoder.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/compile_limits.h"
#include "tests/test_util.h"

namespace {

// ---- Delta and gate times ----------------------------------------------------------------

struct TimeCase {
  int64_t value;
  const char* bytes;
};

TEST(TrackEncoderTest, DeltaTimes) {
  const TimeCase cases[] = {
      // one byte
      {0, "00"},
      {127, "7F"},
      // two bytes
      {128, "80 00"},
      {255, "80 7F"},
      {256, "81 00"},
      {16511, "FF 7F"},
      // longer deltas: steps of 16511 each closed by an FF 00 message
      {16512, "FF 7F FF 00 01"},
      {33022, "FF 7F FF 00 FF 7F"},
      {33023, "FF 7F FF 00 FF 7F FF 00 01"},
      // a delta below zero
      {-5, "00"},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.value);
    Bytes out;
    EncodeDelta(out, c.value);
    EXPECT_EQ(HexDump(out), c.bytes);
  }
}

TEST(TrackEncoderTest, GateTimesAreClampedToOneThrough16511) {
  const TimeCase cases[] = {
      {0, "01"},      {-3, "01"},       {1, "01"},        {123, "7B"},
      {128, "80 00"}, {16511, "FF 7F"}, {20000, "FF 7F"},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.value);
    Bytes out;
    EncodeGate(out, c.value);
    EXPECT_EQ(HexDump(out), c.bytes);
  }
}

// ---- Messages ----------------------------------------------------------------------------

// One event of a hand-built track: the delta written before it and the event itself.
struct TimedEvent {
  int delta;
  int type;
  int channel;
  EventParams params;
};

struct EventCase {
  const char* name;
  int format;
  int trackIndex;
  std::vector<TimedEvent> events;
  const char* bytes;  // every event's delta and message, all events in one row
};

const std::map<int, int> kNoSlots;

// The bytes in one row, so that long expectations read as they are written.
std::string Row(const Bytes& bytes) {
  std::string dump = HexDump(bytes);
  for (char& c : dump) {
    if (c == '\n') {
      c = ' ';
    }
  }
  return dump;
}

std::string EncodeTrack(const EventCase& c, const std::map<int, int>& slotOf,
                        const std::map<int, int>& slotUse, TrackEncoderState& state) {
  Bytes out;
  for (const TimedEvent& e : c.events) {
    EncodeDelta(out, e.delta);
    EXPECT_TRUE(EncodeEvent(MakeEvent(0, e.type, e.params, e.channel), out, c.format, c.trackIndex,
                            slotOf, slotUse, state));
  }
  return Row(out);
}

// clang-format off
const EventCase kMessageCases[] = {
    // plain controls
    {"volume", kFormatMa2, 0, {{0, EV_VOLUME, 0, {96}}}, "00 00 37 60"},
    {"pan", kFormatMa2, 0, {{0, EV_PAN, 2, {64}}}, "00 00 BA 40"},
    {"expression, full form", kFormatMa2, 0, {{0, EV_EXPRESSION, 0, {100, 0}}}, "00 00 3B 64"},
    {"expression, short form", kFormatMa2, 0, {{0, EV_EXPRESSION, 3, {10, 1}}}, "00 00 CA"},
    {"modulation, full form", kFormatMa1, 0, {{0, EV_MODULATION, 1, {64, 0}}}, "00 00 73 40"},
    {"modulation, short form", kFormatMa2, 0, {{0, EV_MODULATION, 1, {5, 1}}}, "00 00 65"},
    {"end of track", kFormatMa2, 0, {{7, EV_END_OF_TRACK, 0, {}}}, "07 FF 00"},
    {"ADPCM note", kFormatMa2, 0, {{2, EV_ADPCM_NOTE, 0, {1, 123}}}, "02 01 7B"},
    {"ADPCM note with a negative gate", kFormatMa2, 0, {{0, EV_ADPCM_NOTE, 0, {10, -1}}},
     "00 0A 01"},
    // voice select: bank byte, then the program
    {"voice 5", kFormatMa2, 0, {{0, EV_VOICE, 3, {5, 0}}}, "00 00 F1 00 00 00 F0 05"},
    {"drum voice 152", kFormatMa2, 0, {{0, EV_VOICE, 0, {152, 0}}}, "00 00 31 80 00 00 30 18"},
    {"4-operator drum voice 130", kFormatMa2, 0, {{0, EV_VOICE, 0, {130, 1}}},
     "00 00 31 81 00 00 30 02"},
    // frequency notes: key-on, legato changes, key-off; b = 4 * track + channel = 9
    {"frequency notes", kFormatMa2, 2,
     {{0, EV_FREQ_NOTE, 1, {0x45, 0x12, 1}},
      {3, EV_FREQ_NOTE, 1, {0x50, 0x12, 2}},
      {3, EV_FREQ_NOTE, 1, {0x51, 0x13, 2}},
      {3, EV_FREQ_NOTE, 1, {0x51, 0x13, 0}}},
     "00 FF F0 06 43 03 90 B9 45 F7 00 FF F0 06 43 03 90 C9 32 F7 "
     "03 FF F0 06 43 03 90 B9 50 F7 "
     "03 FF F0 06 43 03 90 B9 51 F7 00 FF F0 06 43 03 90 C9 33 F7 "
     "03 FF F0 06 43 03 90 B9 51 F7 00 FF F0 06 43 03 90 C9 13 F7"},
    {"first legato change always writes its high byte", kFormatMa2, 0,
     {{0, EV_FREQ_NOTE, 0, {0x01, 0x00, 2}}},
     "00 FF F0 06 43 03 90 B0 01 F7 00 FF F0 06 43 03 90 C0 20 F7"},
    // notes and octave windows
    {"MA1 first note 60 on channel 1: window 0 without a message", kFormatMa1, 0,
     {{0, EV_NOTE, 1, {60, 10}}}, "00 5C 0A"},
    {"MA2 first note 60 on channel 1: window 0 with its message", kFormatMa2, 0,
     {{0, EV_NOTE, 1, {60, 10}}}, "00 00 72 00 00 5C 0A"},
    {"MA1 first note 90 needs window +1", kFormatMa1, 0, {{0, EV_NOTE, 0, {90, 10}}},
     "00 00 32 01 00 36 0A"},
    {"window walk 0 -> +1 -> stays -> 0", kFormatMa1, 0,
     {{0, EV_NOTE, 0, {60, 10}}, {0, EV_NOTE, 0, {90, 10}}, {0, EV_NOTE, 0, {50, 10}},
      {0, EV_NOTE, 0, {40, 10}}},
     "00 1C 0A 00 00 32 01 00 36 0A 00 02 0A 00 00 32 00 00 04 0A"},
    {"window +2, then note 55 moves to +1, not 0", kFormatMa2, 0,
     {{0, EV_NOTE, 0, {100, 10}}, {0, EV_NOTE, 0, {55, 10}}},
     "00 00 32 02 00 34 0A 00 00 32 01 00 07 0A"},
    {"low notes take a negative shift", kFormatMa2, 0,
     {{0, EV_NOTE, 2, {20, 200}}, {0, EV_NOTE, 2, {13, 1}}, {0, EV_NOTE, 2, {61, 1}}},
     "00 00 B2 82 00 88 80 48 00 81 01 00 00 B2 81 00 B1 01"},
    {"window edges: 108 in +2, 84 stays in 0", kFormatMa1, 0,
     {{0, EV_NOTE, 0, {84, 1}}, {0, EV_NOTE, 0, {108, 1}}},
     "00 3C 01 00 00 32 02 00 3C 01"},
    {"each channel keeps its own window", kFormatMa1, 0,
     {{0, EV_NOTE, 0, {90, 1}}, {0, EV_NOTE, 1, {60, 1}}},
     "00 00 32 01 00 36 01 00 5C 01"},
};
// clang-format on

TEST(TrackEncoderTest, Messages) {
  for (const EventCase& c : kMessageCases) {
    SCOPED_TRACE(c.name);
    TrackEncoderState state;
    EXPECT_EQ(EncodeTrack(c, kNoSlots, kNoSlots, state), c.bytes);
  }
}

TEST(TrackEncoderTest, VoiceSelectRecordsTheVoiceKey) {
  TrackEncoderState state;
  Bytes out;
  EncodeEvent(MakeEvent(0, EV_VOICE, {130, 1}, 2), out, kFormatMa2, 0, kNoSlots, kNoSlots, state);
  EXPECT_EQ(state.voiceKey[2], 386);
  EncodeEvent(MakeEvent(0, EV_VOICE, {7, 0}, 2), out, kFormatMa2, 0, kNoSlots, kNoSlots, state);
  EXPECT_EQ(state.voiceKey[2], 7);
}

TEST(TrackEncoderTest, TypeZeroWritesNothingAndFails) {
  TrackEncoderState state;
  Bytes out;
  EXPECT_FALSE(EncodeEvent(MakeEvent(0, 0, {}, 0), out, kFormatMa2, 0, kNoSlots, kNoSlots, state));
  EXPECT_TRUE(EncodeEvent(MakeEvent(0, 42, {1}, 0), out, kFormatMa2, 0, kNoSlots, kNoSlots, state));
  EXPECT_TRUE(out.empty());
}

// ---- Voice-slot messages -----------------------------------------------------------------

// Voice 0 in slot 1 and the 4-operator voice 256 in slot 0 share the number 0, so selecting
// either calls for a slot message naming the slots of both channels of the pair.
const std::map<int, int> kSlotOf = {{0, 1}, {256, 0}, {5, 2}};
const std::map<int, int> kSlotUse = {{0, 2}, {5, 1}};

// clang-format off
const EventCase kSlotCases[] = {
    {"a one-byte delta moves behind the message", kFormatMa2, 1,
     {{0, EV_VOICE, 0, {0, 1}}, {5, EV_VOLUME, 0, {100}}},
     "00 00 31 01 00 00 30 00 "
     "00 FF F0 06 43 03 91 1A 10 F7 05 00 37 64"},
    {"a two-byte delta splits into (hi, 00) and lo", kFormatMa2, 0,
     {{0, EV_VOICE, 1, {0, 0}}, {300, EV_NOTE, 1, {60, 1}}},
     "00 00 71 00 00 00 70 00 "
     "81 00 FF F0 06 43 03 91 18 11 F7 2C 00 72 00 00 5C 01"},
    {"channel pair 2/3 uses the next address byte; an unknown key is slot 15", kFormatMa2, 0,
     {{0, EV_VOICE, 3, {128, 0}}, {4, EV_END_OF_TRACK, 0, {}}},
     "00 00 F1 80 00 00 F0 00 "
     "00 FF F0 06 43 03 91 19 F1 F7 04 FF 00"},
    {"both pairs pending: two messages, the delta after the last", kFormatMa2, 0,
     {{0, EV_VOICE, 0, {0, 0}}, {0, EV_VOICE, 2, {0, 1}}, {9, EV_PAN, 0, {64}}},
     "00 00 31 00 00 00 30 00 00 00 B1 01 00 00 B0 00 "
     "00 FF F0 06 43 03 91 18 11 F7 00 FF F0 06 43 03 91 19 10 F7 09 00 3A 40"},
    {"a voice with a number of its own sets nothing pending", kFormatMa2, 0,
     {{0, EV_VOICE, 0, {5, 0}}, {3, EV_VOLUME, 0, {1}}},
     "00 00 31 00 00 00 30 05 03 00 37 01"},
    {"voice events do not flush; the next other event does, once", kFormatMa2, 0,
     {{0, EV_VOICE, 0, {0, 0}}, {1, EV_VOICE, 1, {5, 0}}, {2, EV_VOLUME, 0, {1}},
      {3, EV_VOLUME, 1, {2}}},
     "00 00 31 00 00 00 30 00 01 00 71 00 00 00 70 05 "
     "00 FF F0 06 43 03 91 18 21 F7 02 00 37 01 03 00 77 02"},
};
// clang-format on

TEST(TrackEncoderTest, PendingVoiceSlotMessagesSplitTheDelta) {
  for (const EventCase& c : kSlotCases) {
    SCOPED_TRACE(c.name);
    TrackEncoderState state;
    EXPECT_EQ(EncodeTrack(c, kSlotOf, kSlotUse, state), c.bytes);
  }
}

}  // namespace
