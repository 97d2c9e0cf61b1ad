#include "core/crc16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The register one bit at a time, as the check is defined.
uint16_t BitwiseCrc(const std::vector<uint8_t>& data, uint16_t initial) {
  uint16_t reg = initial;
  for (uint8_t byte : data) {
    reg ^= static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000) ? static_cast<uint16_t>((reg << 1) ^ 0x1021)
                           : static_cast<uint16_t>(reg << 1);
    }
  }
  return static_cast<uint16_t>(~reg);
}

// The eight-bytes-at-a-time tables give the bitwise result for every length (whole blocks,
// a tail, both) and every starting value.
TEST(Crc16Test, TablesAgreeWithTheBitwiseDefinition) {
  std::mt19937 random(12);
  for (size_t length = 0; length < 70; ++length) {
    std::vector<uint8_t> data(length);
    for (uint8_t& b : data) {
      b = static_cast<uint8_t>(random());
    }
    for (uint16_t initial : {0x0000, 0xFFFF, 0x1D0F, 0x8001}) {
      EXPECT_EQ(Crc16(data.data(), data.size(), initial), BitwiseCrc(data, initial)) << length;
    }
  }
}

// Long inputs are folded sixteen bytes at a time where the processor multiplies without carry:
// the same result at the lengths where the folding starts, around its four-way blocks and its
// sixteen-byte steps, and with a tail of every length.
TEST(Crc16Test, LongInputsAgreeWithTheBitwiseDefinition) {
  const size_t kLengths[] = {255, 256, 257, 271, 272,  319,  320,   321,
                             335, 383, 384, 511, 1000, 4099, 65536, 65536 + 47};
  std::mt19937 random(34);
  for (size_t length : kLengths) {
    std::vector<uint8_t> data(length);
    for (uint8_t& b : data) {
      b = static_cast<uint8_t>(random());
    }
    for (uint16_t initial : {0x0000, 0xFFFF, 0x1D0F, 0x8001}) {
      EXPECT_EQ(Crc16(data.data(), data.size(), initial), BitwiseCrc(data, initial)) << length;
    }
  }
}

}  // namespace
