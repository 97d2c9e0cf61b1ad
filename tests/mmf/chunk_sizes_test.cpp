#include "mmf/chunk_sizes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/test_util.h"

namespace {

using namespace std::string_view_literals;

uint32_t SizeAt(const Bytes& image, size_t offset) {
  return (uint32_t{image[offset + 4]} << 24) | (uint32_t{image[offset + 5]} << 16) |
         (uint32_t{image[offset + 6]} << 8) | uint32_t{image[offset + 7]};
}

// Builds an image the way the writer does: zero sizes, chunk positions recorded.
struct ImageBuilder {
  Bytes image;
  std::vector<size_t> offsets;

  ImageBuilder() {
    image.reserve(256);  // also keeps GCC 12 from a false overflow warning at -O3
    Append(image, "MMMD");
    AppendBe32(image, 0);
  }
  size_t Chunk(std::string_view tag) {
    offsets.push_back(image.size());
    Append(image, tag);
    AppendBe32(image, 0);
    return offsets.back();
  }
};

// Every data area of this image spells a tag that the fix-up must not take for a chunk.
struct TaggedImage {
  ImageBuilder b;
  size_t cnti, mtr, mtsq, atr, atsq, awa1, awa2;

  TaggedImage() {
    cnti = b.Chunk("CNTI");
    Append(b.image, FromHex("00 00 00 01 00"));
    Append(b.image, "MTR\x02"sv);  // contents option bytes
    mtr = b.Chunk("MTR\x01"sv);
    Append(b.image, FromHex("00 00 02 02 00 00"));
    mtsq = b.Chunk("Mtsq");
    Append(b.image, "Awa\x01MTR\x03"sv);  // sequence bytes
    AppendBe32(b.image, 0);
    atr = b.Chunk("ATR\0"sv);
    Append(b.image, FromHex("00 00 11 00 02 02"));
    atsq = b.Chunk("Atsq");
    Append(b.image, FromHex("02 01 7B FF 00 00 00 00 00"));
    awa1 = b.Chunk("Awa\x01"sv);
    Append(b.image, "ATR\0Awa\x02"sv);  // wave bytes
    awa2 = b.Chunk("Awa\x02"sv);
    Append(b.image, FromHex("12 34 56"));
  }
};

TEST(ChunkSizesTest, SizesFollowTheRecordedStructureNotTheBytes) {
  for (bool trailer : {true, false}) {
    SCOPED_TRACE(trailer ? "with trailer" : "without trailer");
    TaggedImage t;
    Append(t.b.image, trailer ? FromHex("00 00 1D 0F") : FromHex("00 00"));
    FixChunkSizes(t.b.image, t.b.offsets);
    const Bytes& image = t.b.image;
    EXPECT_EQ(SizeAt(image, 0), image.size() - (trailer ? 10 : 8));
    EXPECT_EQ(SizeAt(image, t.cnti), 9u);
    EXPECT_EQ(SizeAt(image, t.mtr), 6u + 8 + 12);
    EXPECT_EQ(SizeAt(image, t.mtsq), 12u);
    EXPECT_EQ(SizeAt(image, t.atr), 6u + (8 + 9) + (8 + 8) + (8 + 3));
    EXPECT_EQ(SizeAt(image, t.atsq), 9u);
    EXPECT_EQ(SizeAt(image, t.awa1), 8u);
    EXPECT_EQ(SizeAt(image, t.awa2), 3u);
  }
}

TEST(ChunkSizesTest, LargeChunksKeepAllFourSizeBytes) {
  ImageBuilder b;
  b.Chunk("CNTI");
  Append(b.image, FromHex("00 00 00 01 00"));
  size_t atr = b.Chunk("ATR\0"sv);
  size_t awa = b.Chunk("Awa\x01"sv);
  b.image.resize(b.image.size() + 70000, 0x77);
  Append(b.image, FromHex("00 00 1D 0F"));
  FixChunkSizes(b.image, b.offsets);
  EXPECT_EQ(HexDump(Bytes(b.image.begin() + awa + 4, b.image.begin() + awa + 8)), "00 01 11 70");
  EXPECT_EQ(SizeAt(b.image, atr), 70008u);
  EXPECT_EQ(SizeAt(b.image, 0), b.image.size() - 10);
}

TEST(ChunkSizesTest, LeavesOtherImagesAlone) {
  const Bytes images[] = {FromHex(""), FromHex("4D 4D 4D"),
                          FromHex("52 49 46 46 00 00 00 00 1D 0F")};
  for (const Bytes& original : images) {
    SCOPED_TRACE(HexDump(original));
    Bytes image = original;
    FixChunkSizes(image, {});
    EXPECT_EQ(image, original);
  }
}

}  // namespace
