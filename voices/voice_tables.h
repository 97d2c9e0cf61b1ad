#ifndef QUAVREX_VOICES_VOICE_TABLES_H_
#define QUAVREX_VOICES_VOICE_TABLES_H_

#include <array>
#include <cstdint>

// Voice records: the payload of one exclusive message of the setup chunk, ending in 0xF7.
using Ma1VoiceRecord = std::array<uint8_t, 14>;        // 13 parameter bytes + F7
using Ma2VoiceRecord = std::array<uint8_t, 13>;        // 2-operator: 12 parameter bytes + F7
using Ma2FourOpVoiceRecord = std::array<uint8_t, 23>;  // 4-operator: 22 parameter bytes + F7

using Ma1VoiceTable = std::array<Ma1VoiceRecord, 128>;              // by voice number
using Ma2VoiceTable = std::array<Ma2VoiceRecord, 256>;              // key 0-255: 0-127 melodic,
                                                                    //   128-255 drum notes 0-127
using Ma2FourOpVoiceTable = std::array<Ma2FourOpVoiceRecord, 256>;  // index = key - 256

// The zero record: every parameter byte 0, end byte F7. Records that no table fills hold it.
template <typename Record>
constexpr Record ZeroVoiceRecord() {
  Record record{};
  record.back() = 0xF7;
  return record;
}

// The built-in default voices, shared and read-only; every compiler object copies them.
const Ma1VoiceTable& BuiltInMa1Voices();
const Ma2VoiceTable& BuiltInMa2Voices();
const Ma2FourOpVoiceTable& BuiltInMa2FourOpVoices();

#endif  // QUAVREX_VOICES_VOICE_TABLES_H_
