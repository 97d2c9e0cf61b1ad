// Damaged and foreign files: each fault gives its finding at its offset, the reader goes on
// where it can, and nothing is read outside the buffer (the tests run under ASan).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "core/crc16.h"
#include "reader/mmf_reader.h"
#include "tests/reader/compiled_score.h"
#include "tests/temp_folder.h"

namespace {

// Offset of the first `tag` in the image.
size_t Find(const Bytes& image, std::string_view tag) {
  std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
  size_t at = text.find(tag);
  EXPECT_NE(at, std::string_view::npos) << tag;
  return at;
}

void StoreBe32(Bytes& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    image[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  }
}

uint32_t Be32(const Bytes& image, size_t at) {
  return uint32_t{image[at]} << 24 | uint32_t{image[at + 1]} << 16 | uint32_t{image[at + 2]} << 8 |
         image[at + 3];
}

// Stores a CRC that fits the damaged bytes, so that only the damage itself is found.
void FixCrc(Bytes& image) {
  size_t at = image.size() - 4;
  uint16_t crc = Crc16(image.data(), at, 0xFFFF);
  image[at] = static_cast<uint8_t>(crc >> 8);
  image[at + 1] = static_cast<uint8_t>(crc);
}

struct CorruptionCase {
  const char* what;
  std::function<void(Bytes&)> corrupt;
  bool fixCrc;
  FindingKind kind;                            // the first finding
  std::function<size_t(const Bytes&)> offset;  // where it must be, in the undamaged file
};

// The base file: MA2, contents, setup chunk, voice, volume, window, note and end of sequence;
// its sequence data, by offset:
//   0 00 00 31 00 | 4 00 00 30 00 | 8 00 00 37 60 | 12 00 00 32 00 | 16 00 1C 7B |
//   19 7D FF 00 | 22 00 00 00 00
const CorruptionCase kCorruptions[] = {
    // checks of the whole file
    {"flipped byte in a gate", [](Bytes& b) { b[Find(b, "Mtsq") + 8 + 18] ^= 0x01; }, false,
     FindingKind::kCrcMismatch, [](const Bytes& b) { return b.size() - 4; }},
    {"flipped byte in the contents", [](Bytes& b) { b[Find(b, "ST:") + 3] ^= 0x20; }, false,
     FindingKind::kCrcMismatch, [](const Bytes& b) { return b.size() - 4; }},
    {"truncated by ten bytes", [](Bytes& b) { b.resize(b.size() - 10); }, false,
     FindingKind::kSizeMismatch, [](const Bytes&) { return size_t{4}; }},
    {"truncated inside the header", [](Bytes& b) { b.resize(6); }, false, FindingKind::kNotMmf,
     [](const Bytes&) { return size_t{0}; }},
    {"file size one too large", [](Bytes& b) { StoreBe32(b, 4, Be32(b, 4) + 1); }, false,
     FindingKind::kSizeMismatch, [](const Bytes&) { return size_t{4}; }},
    {"not an MMF", [](Bytes& b) { b[0] = 'X'; }, false, FindingKind::kNotMmf,
     [](const Bytes&) { return size_t{0}; }},
    // chunk sizes that disagree with the structure
    {"sequence size beyond its track",
     [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, Be32(b, Find(b, "Mtsq") + 4) + 9); }, true,
     FindingKind::kSizeMismatch, [](const Bytes& b) { return Find(b, "Mtsq") + 4; }},
    {"track size beyond the file", [](Bytes& b) { StoreBe32(b, Find(b, "MTR") + 4, 0x00FFFFFF); },
     true, FindingKind::kSizeMismatch, [](const Bytes& b) { return Find(b, "MTR") + 4; }},
    {"contents size one short", [](Bytes& b) { StoreBe32(b, 12, Be32(b, 12) - 1); }, true,
     FindingKind::kSizeMismatch, [](const Bytes&) { return size_t{12}; }},
    {"contents size one long", [](Bytes& b) { StoreBe32(b, 12, Be32(b, 12) + 1); }, true,
     FindingKind::kSizeMismatch, [](const Bytes&) { return size_t{12}; }},
    // tags and messages
    {"unknown sub-chunk tag", [](Bytes& b) { b[Find(b, "Mtsu") + 3] = 'x'; }, true,
     FindingKind::kUnknownTag, [](const Bytes& b) { return Find(b, "Mtsu"); }},
    {"note byte naming no semitone", [](Bytes& b) { b[Find(b, "Mtsq") + 8 + 17] = 0x40; }, true,
     FindingKind::kUnknownMessage, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 17; }},
    {"message FF 01",
     [](Bytes& b) {
       b[Find(b, "Mtsq") + 8 + 17] = 0xFF;
       b[Find(b, "Mtsq") + 8 + 18] = 0x01;
     },
     true, FindingKind::kUnknownMessage, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 17; }},
    {"sequence cut inside a control", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, 10); }, true,
     FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 9; }},
    {"sequence without its end", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, 21); }, true,
     FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 21; }},
    // one byte short of a long control, of FF 00 and of the end of the sequence
    {"control one byte short", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, 11); }, true,
     FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 9; }},
    {"FF 00 one byte short", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, 21); }, true,
     FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 20; }},
    {"end of the sequence one byte short", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsq") + 4, 25); },
     true, FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 25; }},
    {"voice exclusive cut off", [](Bytes& b) { StoreBe32(b, Find(b, "Mtsu") + 4, 20); }, true,
     FindingKind::kTruncated, [](const Bytes& b) { return Find(b, "Mtsu") + 8; }},
    {"timebase code 0x05", [](Bytes& b) { b[Find(b, "MTR") + 10] = 0x05; }, true,
     FindingKind::kBadTimebase, [](const Bytes& b) { return Find(b, "MTR") + 10; }},
    {"window shift +3", [](Bytes& b) { b[Find(b, "Mtsq") + 8 + 15] = 0x03; }, true,
     FindingKind::kBadValue, [](const Bytes& b) { return Find(b, "Mtsq") + 8 + 13; }},
    // other kinds of .MMF file
    {"other track format", [](Bytes& b) { b[Find(b, "MTR") + 8] = 0x02; }, true,
     FindingKind::kNotSupported, [](const Bytes& b) { return Find(b, "MTR") + 8; }},
    {"track of a later chip", [](Bytes& b) { b[Find(b, "MTR") + 3] = 0x05; }, true,
     FindingKind::kNotSupported, [](const Bytes& b) { return Find(b, "MTR") + 3; }},
};

TEST(CorruptionTest, EachFaultGivesItsFindingAtItsOffset) {
  TempFolder folder;
  CompiledScore base = CompileInMemory("C[ST:Tiny,] 1[C]", true, false, folder.path);
  ASSERT_TRUE(base.ok);
  ASSERT_TRUE(IsSound(ReadMmf(base.image.data(), base.image.size())));
  for (const CorruptionCase& c : kCorruptions) {
    SCOPED_TRACE(c.what);
    Bytes damaged = base.image;
    c.corrupt(damaged);
    if (c.fixCrc) {
      FixCrc(damaged);
    }
    MmfFile file = ReadMmf(damaged.data(), damaged.size());
    ASSERT_FALSE(file.findings.empty());
    bool found = false;
    std::string all;
    for (const Finding& f : file.findings) {
      found = found || (f.kind == c.kind && f.offset == c.offset(base.image));
      all += std::to_string(f.offset) + ": " + f.text + "\n";
    }
    EXPECT_TRUE(found) << all;
    // Checking alone finds the same, without keeping the events.
    MmfFile checked = CheckMmf(damaged.data(), damaged.size());
    ASSERT_EQ(checked.findings.size(), file.findings.size());
    for (size_t i = 0; i < file.findings.size(); ++i) {
      EXPECT_EQ(checked.findings[i].text, file.findings[i].text);
    }
    for (const ScoreTrack& track : checked.tracks) {
      EXPECT_TRUE(track.events.empty());
    }
  }
}

TEST(CorruptionTest, OtherKindsAreNotSupportedButTheirChunksAreListed) {
  TempFolder folder;
  CompiledScore base = CompileInMemory("1[C]", true, false, folder.path);
  Bytes other = base.image;
  other[Find(other, "MTR") + 8] = 0x01;  // a compressed sequence of a later layout
  FixCrc(other);
  MmfFile file = ReadMmf(other.data(), other.size());
  EXPECT_FALSE(file.supported);
  ASSERT_EQ(file.chunks.size(), 5u);
  EXPECT_EQ(file.chunks[2].tag, "MTR\\x01");
  EXPECT_EQ(file.chunks[3].tag, "Mtsu");
  EXPECT_EQ(file.chunks[4].tag, "Mtsq");
  EXPECT_EQ(file.chunks[4].depth, 2);
  EXPECT_TRUE(file.tracks.empty());
}

// A chunk whose end is no chunk makes the reader look for the next known chunk; a long run of
// such chunks is read in one pass (it was one pass per chunk: 2,000 took half a minute).
TEST(CorruptionTest, ARunOfChunksThatDisagreeIsReadInOnePass) {
  constexpr size_t kRun = 50000;
  const Bytes junk = {0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0};  // no tag, size 0
  Bytes image = {'M', 'M', 'M', 'D', 0, 0, 0, 0, 'C', 'N', 'T', 'I', 0, 0, 0, 5, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < kRun; ++i) {
    image.insert(image.end(), junk.begin(), junk.end());
  }
  StoreBe32(image, 4, static_cast<uint32_t>(image.size() - 8 + 2));
  const uint16_t crc = Crc16(image.data(), image.size(), 0xFFFF);
  image.insert(image.end(), {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
  MmfFile file = ReadMmf(image.data(), image.size());
  ASSERT_EQ(file.chunks.size(), kRun + 2);
  EXPECT_EQ(file.chunks.back().offset, image.size() - 2 - junk.size());
  ASSERT_EQ(file.findings.size(), kRun);
  EXPECT_EQ(file.findings.back().kind, FindingKind::kUnknownTag);
}

// Every prefix and every single-byte change of a compiled file reads without a fault of the
// reader's own (ASan watches the reads) and with findings only where the bytes changed.
TEST(CorruptionTest, EveryPrefixAndByteChangeIsReadSafely) {
  TempFolder folder;
  CompiledScore base = CompileInMemory("C[ST:a\\,b,] 1[@K4 C&D @V9 @M60 X5] 2[O7 C] 5[@O4 @0 C]",
                                       true, false, folder.path);
  ASSERT_TRUE(base.ok);
  for (size_t n = 0; n < base.image.size(); ++n) {
    MmfFile file = ReadMmf(base.image.data(), n);
    // Without its trailer the file is whole: the CRC then ends it.
    EXPECT_EQ(file.findings.empty(), n == base.image.size() - 2) << n;
  }
  for (size_t at = 0; at + 4 < base.image.size(); ++at) {
    Bytes damaged = base.image;
    damaged[at] ^= 0xA5;
    MmfFile file = ReadMmf(damaged.data(), damaged.size());
    EXPECT_FALSE(file.findings.empty()) << at;
  }
}

}  // namespace
