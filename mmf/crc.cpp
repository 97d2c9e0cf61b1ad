#include "mmf/crc.h"

uint16_t ComputeCrc(const Bytes& image, uint16_t initial) {
  size_t covered = image.size() >= 4 ? image.size() - 4 : 0;
  return Crc16(image.data(), covered, initial);
}
