#ifndef QUAVREX_CORE_COMPILE_LIMITS_H_
#define QUAVREX_CORE_COMPILE_LIMITS_H_

#include <cstddef>
#include <cstdint>

// Slots: 0-15 hold the sequence parts (slot i plays on channel i+1), 16 the ADPCM (A) part.
constexpr int kSequenceSlots = 16;
constexpr int kPartSlots = 17;
constexpr int kAdpcmSlot = 16;
constexpr int kWaveSlots = 10;

// The output formats: the number of voices the chip plays at once.
constexpr int kFormatMa1 = 4;
constexpr int kFormatMa2 = 16;

// Work caps no ring tone comes near; each bounds the time and memory of a hostile score.
// All part texts together may grow to this many bytes by repeat expansion.
constexpr uint64_t kMaxExpandedBytes = 16777216;
// One compile makes at most this many events, over all tracks.
constexpr size_t kMaxEvents = 1048576;
// The longest output image.
constexpr size_t kMaxImageBytes = 16777216;

#endif  // QUAVREX_CORE_COMPILE_LIMITS_H_
