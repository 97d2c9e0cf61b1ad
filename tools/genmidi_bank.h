#ifndef QUAVREX_TOOLS_GENMIDI_BANK_H_
#define QUAVREX_TOOLS_GENMIDI_BANK_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "voices/voice_tables.h"

// Derives the built-in MA2 2-operator voices from a bank of 2-operator FM instruments in the
// "#OPL_II#" format (third_party/genmidi): 128 melodic instruments in program order, then 47
// drums for notes 35-81. tools/genmidi_to_voices writes the result into
// voices/ma2_bank_voices.inc, which the built-in voice table includes.
//
// Bank layout (little-endian): the signature "#OPL_II#"; 175 instruments of 36 bytes (u16
// flags, u8 fine tune, u8 fixed note, two voices of 16 bytes); 175 names of 32 bytes. A voice
// is the modulator's registers 0x20, 0x60, 0x80, 0xE0, key scale level (bits 7-6) and total
// level, the 0xC0 byte (feedback bits 3-1, connection bit 0), the carrier's six bytes in the
// same order, one unused byte and an s16 note offset in semitones.

// One operator's register bytes.
struct BankOperator {
  uint8_t reg20;          // tremolo 7, vibrato 6, envelope type 5, key scale rate 4, multiple 3-0
  uint8_t reg60;          // attack rate 7-4, decay rate 3-0
  uint8_t reg80;          // sustain level 7-4, release rate 3-0
  uint8_t regE0;          // waveform
  uint8_t keyScaleLevel;  // bits 7-6
  uint8_t totalLevel;     // bits 5-0
};

// One instrument; only the first of its voices is kept.
struct BankInstrument {
  BankOperator modulator;
  BankOperator carrier;
  uint8_t regC0;
  int noteOffset;
  std::string name;
};

constexpr int kBankMelodic = 128;
constexpr int kBankDrums = 47;
constexpr int kBankFirstDrumNote = 35;

// Reads a whole bank into its 175 instruments. Returns false (and an English reason in
// `error`) when the signature or the size is wrong.
bool ParseBank(std::span<const uint8_t> lump, std::vector<BankInstrument>& out, std::string& error);

// True for the bank's silent placeholders: every operator at total level 63 with attack 0.
bool IsSilent(const BankInstrument& instrument);

// The MA2 record of an instrument (effect frequency 1, vibrato and tremolo levels 2). An
// instrument an octave down (note offset -12) gets both multiples halved when both can be.
Ma2VoiceRecord ConvertInstrument(const BankInstrument& instrument);

// One derived record: its index in the MA2 2-operator table and a line naming its source.
struct DerivedVoice {
  int entry;
  Ma2VoiceRecord record;
  std::string source;
};

// The records of melodic voices 2-127 and drum notes 25-83 (entries 153-211), in entry order.
// Fails (with a reason in `error`) when the choice of stand-in drums does not fit the bank.
bool DeriveBankVoices(const std::vector<BankInstrument>& bank, std::vector<DerivedVoice>& out,
                      std::string& error);

// The C++ text of voices/ma2_bank_voices.inc: a heading with `licence` as a comment, then one
// initializer per derived record.
std::string FormatBankVoices(const std::vector<DerivedVoice>& voices, std::string_view licence);

#endif  // QUAVREX_TOOLS_GENMIDI_BANK_H_
