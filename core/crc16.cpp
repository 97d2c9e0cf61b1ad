#include "core/crc16.h"

#include <array>

namespace {

// kTable[b]: the register change of byte b shifted in, eight steps of the polynomial at once.
constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    uint16_t reg = static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000) ? static_cast<uint16_t>((reg << 1) ^ 0x1021)
                           : static_cast<uint16_t>(reg << 1);
    }
    table[b] = reg;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t size, uint16_t initial) {
  uint16_t reg = initial;
  for (size_t i = 0; i < size; ++i) {
    reg = static_cast<uint16_t>((reg << 8) ^ kTable[(reg >> 8) ^ data[i]]);
  }
  return static_cast<uint16_t>(~reg);
}
