#include "core/crc16.h"

#include <array>

namespace {

// The register after shifting the byte `index` (placed in the high byte) through it eight
// times: one lookup then does the work of eight shifts.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (int index = 0; index < 256; ++index) {
    auto reg = static_cast<uint16_t>(index << 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000) ? static_cast<uint16_t>((reg << 1) ^ 0x1021)
                           : static_cast<uint16_t>(reg << 1);
    }
    table[static_cast<size_t>(index)] = reg;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t size, uint16_t initial) {
  uint16_t reg = initial;
  for (size_t i = 0; i < size; ++i) {
    reg = static_cast<uint16_t>((reg << 8) ^ kCrcTable[(reg >> 8) ^ data[i]]);
  }
  return static_cast<uint16_t>(~reg);
}
