// The compact event record: every message form read from hand-made sequences, with the values
// at the edges of the narrow fields (the longest gate, raw bytes above 127, windows below 0)
// and the defaults that a kind's unused fields must read as.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/crc16.h"
#include "listing/event_text.h"
#include "reader/mmf_reader.h"

namespace {

void PutBe32(std::vector<uint8_t>& out, size_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

// A sound MA2 file of one score track (timebases 50 ms a tick, 10 ms a gate tick) around the
// sequence bytes `sequence`, which end in 00 00 00 00.
std::vector<uint8_t> FileAround(const std::vector<uint8_t>& sequence) {
  std::vector<uint8_t> f = {'M', 'M', 'M', 'D', 0, 0, 0, 0, 'M', 'T', 'R', 0x01};
  PutBe32(f, 6 + 8 + sequence.size());
  f.insert(f.end(), {0x00, 0x00, 0x13, 0x10, 0x00, 0x00, 'M', 't', 's', 'q'});
  PutBe32(f, sequence.size());
  f.insert(f.end(), sequence.begin(), sequence.end());
  const size_t declared = f.size() - 8 + 2;
  for (int i = 0; i < 4; ++i) {
    f[4 + i] = static_cast<uint8_t>(declared >> (24 - 8 * i));
  }
  const uint16_t crc = Crc16(f.data(), f.size(), 0xFFFF);
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc));
  return f;
}

// Every accessor whose value differs from its default, so that a field leaking into a kind
// that does not use it shows up too.
std::string Fields(const MmfFile& file, const MmfEvent& e) {
  std::string out = std::string(EventKindName(e.kind)) + " @" + std::to_string(e.offset) + " t" +
                    std::to_string(e.tick) + " " + std::to_string(e.ms()) + "ms ch" +
                    std::to_string(e.channel) + "/" + std::to_string(e.absChannel);
  auto add = [&out](const char* name, int64_t value, int64_t unset = -1) {
    if (value != unset) {
      out += std::string(" ") + name + "=" + std::to_string(value);
    }
  };
  add("note", e.note());
  add("octave", e.octave());
  add("semitone", e.semitone());
  add("shift", e.shift(), 0);
  add("gate", e.gateTicks());
  add("gateMs", e.gateMs());
  add("wave", e.waveSlot());
  add("control", e.control());
  add("value", e.value());
  add("decoded", e.decoded());
  add("short", e.shortForm(), 0);
  add("bank", e.bank());
  add("program", e.program());
  add("voice", e.voice());
  add("key", e.voiceKey());
  add("low", e.fnumberLow());
  add("high", e.highByte());
  add("block", e.block());
  add("fnumber", e.fnumber());
  add("state", static_cast<int>(e.keyState()), static_cast<int>(KeyState::kOn));
  add("pair", e.pairByte());
  add("pairChannel", e.pairChannel());
  add("slots", e.slotLow());
  add("slotHigh", e.slotHigh());
  for (uint8_t b : ExclusiveData(file, e)) {
    out += " " + std::to_string(b);
  }
  return out;
}

struct RecordCase {
  const char* what;
  std::vector<uint8_t> sequence;    // before the end of the sequence
  std::vector<std::string> events;  // Fields of each event but the end
};

// The sequence starts at offset 30 of the file.
const RecordCase kRecordCases[] = {
    // notes
    {"top of the window with the longest gate",
     {0x00, 0x00, 0x32, 0x02, 0x00, 0x3C, 0xFF, 0x7F},
     {"window @31 t0 0ms ch0/0 shift=2 control=50 value=2 decoded=2",
      "note @35 t0 0ms ch0/0 note=108 octave=3 semitone=12 shift=2 gate=16511 gateMs=165110"}},
    {"window -2, two-byte delta, channel 4",
     {0x00, 0x00, 0xF2, 0x82, 0x81, 0x00, 0xC1, 0x00},
     {"window @31 t0 0ms ch3/3 shift=-2 control=50 value=130 decoded=-2",
      "note @36 t256 12800ms ch3/3 note=13 octave=0 semitone=1 shift=-2 gate=0 gateMs=0"}},
    // controls
    {"raw bytes above 127 and an octave shift out of range",
     {0x00, 0x00, 0x37, 0xFF, 0x00, 0x00, 0x3A, 0x80, 0x00, 0x00, 0x32, 0x83, 0x00, 0x00, 0x7F,
      0x40},
     {"volume @31 t0 0ms ch0/0 control=55 value=255 decoded=255",
      "pan @35 t0 0ms ch0/0 control=58 value=128 decoded=128",
      "window @39 t0 0ms ch0/0 control=50 value=131",
      "control @43 t0 0ms ch1/1 control=63 value=64"}},
    {"short forms at both ends",
     {0x00, 0x00, 0x2F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x1F},  // 00 00 00 00 would end it
     {"modulation @31 t0 0ms ch0/0 value=15 decoded=127 short=1",
      "expression @34 t1 50ms ch0/0 value=0 decoded=15 short=1",
      "expression @37 t1 50ms ch0/0 value=31 decoded=127 short=1"}},
    // voices
    {"four-operator drum voice, then a lone bank select and a program change",
     {0x00, 0x00, 0x71, 0x81, 0x00, 0x00, 0x70, 0x85, 0x00, 0x00,
      0x31, 0x01, 0x00, 0x00, 0x37, 0x10, 0x00, 0x00, 0x30, 0x7F},
     {"voice @31 t0 0ms ch1/1 control=49 value=129 bank=129 program=133 voice=133 key=389",
      "bank @39 t0 0ms ch0/0 control=49 value=1 bank=1",
      "volume @43 t0 0ms ch0/0 control=55 value=16 decoded=16",
      "program @47 t0 0ms ch0/0 control=48 value=127 bank=1 program=127 voice=127 key=383"}},
    // exclusives
    {"frequency key-on, legato change and key-off of channel 6",
     {0x00, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xB5, 0x5D, 0xF7,  // low
      0x00, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC5, 0x31, 0xF7,  // high, key on
      0x01, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xB5, 0xFF, 0xF7,  // low alone
      0x01, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC5, 0x13, 0xF7},
     {"frequency @31 t0 0ms ch1/5 low=93 high=17 block=4 fnumber=93",
      "frequency @51 t1 50ms ch1/5 low=255 block=4 fnumber=255 state=2",
      "frequency @61 t2 100ms ch1/5 high=19 block=4 fnumber=767 state=0"}},
    {"voice slots, MA1 opening, an exclusive of no known kind and FF 00",
     {0x00, 0xFF, 0xF0, 0x06, 0x43, 0x03, 0x91, 0x1B, 0x3F, 0xF7, 0x00, 0xFF, 0xF0, 0x06, 0x43,
      0x01, 0x80, 0x31, 0xFF, 0xF7, 0x00, 0xFF, 0xF0, 0x03, 0x01, 0xF0, 0xF7, 0x00, 0xFF, 0x00},
     {"voice-slots @31 t0 0ms ch-1/-1 pair=27 pairChannel=6 slots=15 slotHigh=3",
      "ma1-opening @41 t0 0ms ch-1/-1 value=255", "exclusive @51 t0 0ms ch-1/-1 1 240 247",
      "nop @58 t0 0ms ch-1/-1"}},
};

TEST(EventRecordTest, EachMessageFormReadsBackWhole) {
  for (const RecordCase& c : kRecordCases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> sequence = c.sequence;
    sequence.insert(sequence.end(), {0, 0, 0, 0});
    const std::vector<uint8_t> bytes = FileAround(sequence);
    const MmfFile file = ReadMmf(bytes.data(), bytes.size());
    ASSERT_EQ(file.tracks.size(), 1u);
    const std::vector<MmfEvent>& events = file.tracks[0].events;
    ASSERT_EQ(events.size(), c.events.size() + 1);
    for (size_t i = 0; i < c.events.size(); ++i) {
      EXPECT_EQ(Fields(file, events[i]), c.events[i]);
    }
    EXPECT_EQ(events.back().kind, MmfEventKind::kEndOfSequence);
    // Checking alone reads the same and keeps none of it.
    const MmfFile checked = CheckMmf(bytes.data(), bytes.size());
    EXPECT_EQ(checked.findings.size(), file.findings.size());
    EXPECT_TRUE(checked.tracks[0].events.empty());
    EXPECT_TRUE(checked.exclusiveBytes.empty());
  }
}

// Offsets are kept in 32 bits: a buffer of 4 GiB or more is no .MMF file and is not read. The
// buffer is mapped but never filled, so only its first page is ever touched.
TEST(EventRecordTest, ABufferOf4GiBIsNotRead) {
  const size_t size = size_t{UINT32_MAX} + 1;
  void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  auto* bytes = static_cast<uint8_t*>(mapped);
  const uint8_t header[8] = {'M', 'M', 'M', 'D', 0xFF, 0xFF, 0xFF, 0xF7};
  std::copy(header, header + 8, bytes);
  for (const MmfFile& file : {ReadMmf(bytes, size), CheckMmf(bytes, size)}) {
    ASSERT_EQ(file.findings.size(), 1u);
    EXPECT_EQ(file.findings[0].kind, FindingKind::kNotSupported);
    EXPECT_FALSE(file.supported);
  }
  munmap(mapped, size);
}

}  // namespace
