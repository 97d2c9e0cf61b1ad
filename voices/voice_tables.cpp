#include "voices/voice_tables.h"

namespace {

// clang-format off
constexpr Ma1VoiceRecord kMa1Voice0 = {0xF1, 0x21, 0x7B, 0x8C, 0xA0, 0x31, 0x57, 0x8C, 0x00, 0x00, 0x11, 0x22, 0x44, 0xF7};
constexpr Ma1VoiceRecord kMa1Voice1 = {0x71, 0x61, 0x7B, 0x89, 0x80, 0x31, 0x57, 0x8C, 0x00, 0x30, 0x31, 0x62, 0x00, 0xF7};
constexpr Ma1VoiceRecord kMa1Voice127 = {0x21, 0x6C, 0x03, 0xFC, 0xA7, 0x65, 0x67, 0xFC, 0x00, 0x00, 0x33, 0x00, 0x00, 0xF7};

constexpr Ma2VoiceRecord kMa2Voice0 = {0x60, 0x01, 0x14, 0x52, 0xF4, 0x3A, 0xA0, 0x14, 0x62, 0xF7, 0x00, 0xA0, 0xF7};
constexpr Ma2VoiceRecord kMa2Voice1 = {0x68, 0x01, 0x15, 0x42, 0xF5, 0x3E, 0xA0, 0x14, 0x62, 0xF5, 0x00, 0xA0, 0xF7};
constexpr Ma2VoiceRecord kMa2Drum24 = {0x70, 0x01, 0x30, 0x07, 0xFF, 0x0C, 0xA1, 0x31, 0xF8, 0xAF, 0x00, 0xA6, 0xF7};
constexpr Ma2VoiceRecord kMa2Drum84 = {0x58, 0x01, 0xE0, 0x54, 0x3E, 0x00, 0xA3, 0x90, 0x36, 0x40, 0x19, 0xA1, 0xF7};
// clang-format on

// MA2 melodic voices 2-127 and drum notes 25-83, derived from the 2-operator FM bank in
// third_party/genmidi by tools/genmidi_to_voices.
struct BankVoice {
  int entry;
  Ma2VoiceRecord record;
};
constexpr BankVoice kMa2BankVoices[] = {
#include "voices/ma2_bank_voices.inc"
};

// MA1 voices other than 0, 1 and 127 sound as voice 0: the program has no layout of that
// chip's voice fields to derive other voices from.
Ma1VoiceTable MakeMa1Voices() {
  Ma1VoiceTable table;
  table.fill(kMa1Voice0);
  table[1] = kMa1Voice1;
  table[127] = kMa1Voice127;
  return table;
}

Ma2VoiceTable MakeMa2Voices() {
  Ma2VoiceTable table;
  table.fill(ZeroVoiceRecord<Ma2VoiceRecord>());
  table[0] = kMa2Voice0;
  table[1] = kMa2Voice1;
  for (const BankVoice& voice : kMa2BankVoices) {
    table[voice.entry] = voice.record;
  }
  table[128 + 24] = kMa2Drum24;
  table[128 + 84] = kMa2Drum84;
  return table;
}

Ma2FourOpVoiceTable MakeMa2FourOpVoices() {
  Ma2FourOpVoiceTable table;
  table.fill(ZeroVoiceRecord<Ma2FourOpVoiceRecord>());
  return table;
}

}  // namespace

const Ma1VoiceTable& BuiltInMa1Voices() {
  static const Ma1VoiceTable table = MakeMa1Voices();
  return table;
}

const Ma2VoiceTable& BuiltInMa2Voices() {
  static const Ma2VoiceTable table = MakeMa2Voices();
  return table;
}

const Ma2FourOpVoiceTable& BuiltInMa2FourOpVoices() {
  static const Ma2FourOpVoiceTable table = MakeMa2FourOpVoices();
  return table;
}
