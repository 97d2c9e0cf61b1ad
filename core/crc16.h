#ifndef QUAVREX_CORE_CRC16_H_
#define QUAVREX_CORE_CRC16_H_

#include <cstddef>
#include <cstdint>

// CRC-16 with the polynomial 0x1021, most significant bit first, starting from `initial`;
// the result is the ones' complement of the register. With 0xFFFF it gives 0xD64E over
// "123456789". The writer and the reader of .MMF files both check their bytes with it.
uint16_t Crc16(const uint8_t* data, size_t size, uint16_t initial);

#endif  // QUAVREX_CORE_CRC16_H_
