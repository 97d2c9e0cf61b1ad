#ifndef QUAVREX_MMF_CRC_H_
#define QUAVREX_MMF_CRC_H_

#include <cstdint>

#include "core/bytes.h"
#include "core/crc16.h"

// The check value of a finished image: the CRC over everything but its last four bytes (the
// CRC's own two bytes and the two trailer bytes). The job stores it high byte first at n - 4.
uint16_t ComputeCrc(const Bytes& image, uint16_t initial);

#endif  // QUAVREX_MMF_CRC_H_
