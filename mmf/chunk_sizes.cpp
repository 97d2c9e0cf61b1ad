#include "mmf/chunk_sizes.h"

#include <cassert>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 8;  // 4-byte tag + 4-byte size

bool TagIs(const Bytes& image, size_t offset, const char* tag, size_t length) {
  return offset + length <= image.size() && std::memcmp(&image[offset], tag, length) == 0;
}

// 1 for the contents chunk and the tracks, 2 for the sub-chunks inside a track.
int LevelOf(const Bytes& image, size_t offset) {
  if (TagIs(image, offset, "CNTI", 4)) {
    return 1;
  }
  if (TagIs(image, offset, "MTR", 3) && offset + 3 < image.size() && image[offset + 3] <= 4) {
    return 1;
  }
  if (TagIs(image, offset, "ATR", 4)) {  // "ATR" and its 0 byte
    return 1;
  }
  return 2;
}

void StoreBe32(Bytes& image, size_t offset, uint32_t value) {
  image[offset] = static_cast<uint8_t>(value >> 24);
  image[offset + 1] = static_cast<uint8_t>(value >> 16);
  image[offset + 2] = static_cast<uint8_t>(value >> 8);
  image[offset + 3] = static_cast<uint8_t>(value);
}

}  // namespace

void FixChunkSizes(Bytes& image, const std::vector<size_t>& chunkOffsets) {
  if (image.size() < kHeaderSize || !TagIs(image, 0, "MMMD", 4)) {
    return;
  }
  // The CRC takes the two bytes before the trailer, or the last two bytes without one.
  size_t n = image.size();
  bool trailer = n >= 4 && image[n - 2] == 0x1D && image[n - 1] == 0x0F;
  size_t dataEnd = trailer ? n - 4 : n - 2;
  StoreBe32(image, 4, static_cast<uint32_t>(dataEnd + 2 - kHeaderSize));

  for (size_t i = 0; i < chunkOffsets.size(); ++i) {
    size_t start = chunkOffsets[i];
    assert(start + kHeaderSize <= dataEnd);
    int level = LevelOf(image, start);
    size_t end = dataEnd;
    for (size_t j = i + 1; j < chunkOffsets.size(); ++j) {
      if (LevelOf(image, chunkOffsets[j]) <= level) {
        end = chunkOffsets[j];
        break;
      }
    }
    StoreBe32(image, start + 4, static_cast<uint32_t>(end - start - kHeaderSize));
  }
}
