#include "core/crc16.h"

uint16_t Crc16(const uint8_t* data, size_t size, uint16_t initial) {
  uint16_t reg = initial;
  for (size_t i = 0; i < size; ++i) {
    reg ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000) ? static_cast<uint16_t>((reg << 1) ^ 0x1021)
                           : static_cast<uint16_t>(reg << 1);
    }
  }
  return static_cast<uint16_t>(~reg);
}
