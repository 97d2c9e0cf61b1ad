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

// The table gives the bitwise result for every length and every starting value, and the
// documented check value.
TEST(Crc16Test, TableAgreesWithTheBitwiseDefinition) {
  const uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(kCheck, sizeof(kCheck), 0xFFFF), 0xD64E);
  std::mt19937 random(12);
  for (size_t length : {0, 1, 2, 7, 8, 9, 255, 256, 1000, 65536 + 47}) {
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
