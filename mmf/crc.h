#ifndef QUAVREX_MMF_CRC_H_
#define QUAVREX_MMF_CRC_H_

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

// CRC-16 with the polynomial 0x1021, most significant bit first, starting from `initial`;
// the result is the ones' complement of the register. With 0xFFFF it gives 0xD64E over
// "123456789".
uint16_t Crc16(const uint8_t* data, size_t size, uint16_t initial);

// The check value of a finished image: the CRC over everything but its last four bytes (the
// CRC's own two bytes and the two trailer bytes). The job stores it high byte first at n - 4.
uint16_t ComputeCrc(const Bytes& image, uint16_t initial);

#endif  // QUAVREX_MMF_CRC_H_
