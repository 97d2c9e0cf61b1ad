#include "tools/genmidi_bank.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr std::string_view kSignature = "#OPL_II#";
constexpr size_t kInstrumentSize = 36;
constexpr size_t kNameSize = 32;
constexpr int kBankInstruments = kBankMelodic + kBankDrums;
constexpr size_t kBankSize =
    kSignature.size() + kBankInstruments * (kInstrumentSize + kNameSize);  // 11908

// The drum notes the built-in table fills from the bank, with the drum of the bank that
// stands in where the bank has no sounding drum of that note (notes 25-34, 82, 83 lie outside
// the bank; some of its notes are silent placeholders): note, bank note used, name. A note
// with a sounding drum of its own names itself. Notes 35-81 carry their General MIDI names,
// the others the names the extended drum kits give them.
struct DrumChoice {
  int note;
  int bankNote;
  const char* name;
};

// clang-format off
constexpr DrumChoice kDrumChoices[] = {
  {25, 38, "Brush Tap"},          // snare
  {26, 38, "Brush Swirl L"},      // snare
  {27, 38, "Brush Slap"},         // snare
  {28, 38, "Brush Swirl H"},      // snare
  {29, 38, "Snare Roll"},         // snare
  {30, 37, "Castanet"},           // side stick
  {31, 38, "Snare L"},            // snare
  {32, 37, "Sticks"},             // side stick
  {33, 35, "Bass Drum L"},        // acoustic bass drum
  {34, 40, "Open Rim Shot"},      // electric snare
  {35, 35, "Acoustic Bass Drum"},
  {36, 36, "Bass Drum 1"},
  {37, 37, "Side Stick"},
  {38, 38, "Acoustic Snare"},
  {39, 39, "Hand Clap"},
  {40, 40, "Electric Snare"},
  {41, 41, "Low Floor Tom"},
  {42, 42, "Closed Hi-Hat"},
  {43, 43, "High Floor Tom"},
  {44, 44, "Pedal Hi-Hat"},
  {45, 45, "Low Tom"},
  {46, 46, "Open Hi-Hat"},
  {47, 47, "Low-Mid Tom"},
  {48, 48, "Hi-Mid Tom"},
  {49, 49, "Crash Cymbal 1"},
  {50, 50, "High Tom"},
  {51, 51, "Ride Cymbal 1"},
  {52, 52, "Chinese Cymbal"},
  {53, 53, "Ride Bell"},
  {54, 54, "Tambourine"},
  {55, 49, "Splash Cymbal"},      // crash cymbal 1
  {56, 53, "Cowbell"},            // ride bell
  {57, 57, "Crash Cymbal 2"},
  {58, 74, "Vibraslap"},          // long guiro
  {59, 59, "Ride Cymbal 2"},
  {60, 50, "Hi Bongo"},           // high tom
  {61, 48, "Low Bongo"},          // hi-mid tom
  {62, 48, "Mute Hi Conga"},      // hi-mid tom
  {63, 47, "Open Hi Conga"},      // low-mid tom
  {64, 45, "Low Conga"},          // low tom
  {65, 50, "High Timbale"},       // high tom
  {66, 47, "Low Timbale"},        // low-mid tom
  {67, 53, "High Agogo"},         // ride bell
  {68, 53, "Low Agogo"},          // ride bell
  {69, 70, "Cabasa"},             // maracas
  {70, 70, "Maracas"},
  {71, 71, "Short Whistle"},
  {72, 72, "Long Whistle"},
  {73, 73, "Short Guiro"},
  {74, 74, "Long Guiro"},
  {75, 75, "Claves"},
  {76, 76, "Hi Wood Block"},
  {77, 77, "Low Wood Block"},
  {78, 78, "Mute Cuica"},
  {79, 79, "Open Cuica"},
  {80, 80, "Mute Triangle"},
  {81, 81, "Open Triangle"},
  {82, 70, "Shaker"},             // maracas
  {83, 54, "Jingle Bell"},        // tambourine
};
// clang-format on

constexpr int kFirstBankMelodic = 2;  // voices 0 and 1 keep their own records
constexpr int kDrumEntryBase = 128;   // drum note n is entry 128 + n

uint16_t U16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

BankOperator ReadOperator(std::span<const uint8_t> six) {
  return {six[0], six[1], six[2], six[3], six[4], six[5]};
}

// The chip plays the multiple codes 11, 13 and 14 as 10, 12 and 15.
int Multiple(const BankOperator& op) {
  const int code = op.reg20 & 15;
  return code == 11 ? 10 : code == 13 ? 12 : code == 14 ? 15 : code;
}

// The multiple code of half the frequency, or -1 when there is none (code 0 is one half).
int HalfMultiple(int code) {
  constexpr int kHalf[16] = {-1, 0, 1, -1, 2, -1, 3, -1, 4, -1, 5, -1, 6, -1, -1, -1};
  return kHalf[code];
}

// The 5-byte operator group of the MA2 record.
void PutOperator(const BankOperator& op, int multiple, uint8_t* group) {
  const int tremolo = (op.reg20 >> 7) & 1;
  const int vibrato = (op.reg20 >> 6) & 1;
  const int envelope = (op.reg20 >> 5) & 1;
  const int keyScaleRate = (op.reg20 >> 4) & 1;
  constexpr int kVibratoLevel = 2;
  constexpr int kTremoloLevel = 2;
  group[0] = static_cast<uint8_t>(multiple << 4 | vibrato << 3 | envelope << 2 | keyScaleRate);
  group[1] = static_cast<uint8_t>((op.reg80 & 15) << 4 | (op.reg60 & 15));  // release, decay
  group[2] = static_cast<uint8_t>((op.reg60 >> 4) << 4 | (op.reg80 >> 4));  // attack, sustain
  group[3] = static_cast<uint8_t>((op.totalLevel & 63) << 2 | op.keyScaleLevel >> 6);
  group[4] =
      static_cast<uint8_t>(kVibratoLevel << 6 | kTremoloLevel << 4 | tremolo << 3 | (op.regE0 & 7));
}

std::string Hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

}  // namespace

bool ParseBank(std::span<const uint8_t> lump, std::vector<BankInstrument>& out,
               std::string& error) {
  if (lump.size() != kBankSize || std::string_view(reinterpret_cast<const char*>(lump.data()),
                                                   kSignature.size()) != kSignature) {
    error = "not an #OPL_II# bank of 175 instruments (" + std::to_string(lump.size()) + " bytes)";
    return false;
  }
  out.clear();
  const size_t namesAt = kSignature.size() + kBankInstruments * kInstrumentSize;
  for (int i = 0; i < kBankInstruments; ++i) {
    // Skip flags, fine tune and fixed note; the first voice follows.
    const std::span<const uint8_t> voice =
        lump.subspan(kSignature.size() + i * kInstrumentSize + 4, 16);
    BankInstrument instrument;
    instrument.modulator = ReadOperator(voice.subspan(0, 6));
    instrument.regC0 = voice[6];
    instrument.carrier = ReadOperator(voice.subspan(7, 6));
    instrument.noteOffset = static_cast<int16_t>(U16(voice, 14));
    // Names are NUL-padded.
    const auto name = lump.subspan(namesAt + i * kNameSize, kNameSize);
    instrument.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    out.push_back(std::move(instrument));
  }
  return true;
}

bool IsSilent(const BankInstrument& instrument) {
  auto silent = [](const BankOperator& op) {
    return (op.totalLevel & 63) == 63 && (op.reg60 >> 4) == 0;
  };
  return silent(instrument.modulator) && silent(instrument.carrier);
}

Ma2VoiceRecord ConvertInstrument(const BankInstrument& instrument) {
  int modulatorMultiple = Multiple(instrument.modulator);
  int carrierMultiple = Multiple(instrument.carrier);
  // The record has no note offset: an instrument meant an octave down halves both operator
  // frequencies instead, where both multiples have an exact half.
  if (instrument.noteOffset == -12 && HalfMultiple(modulatorMultiple) >= 0 &&
      HalfMultiple(carrierMultiple) >= 0) {
    modulatorMultiple = HalfMultiple(modulatorMultiple);
    carrierMultiple = HalfMultiple(carrierMultiple);
  }
  constexpr int kEffectFrequency = 1;
  const int feedback = (instrument.regC0 >> 1) & 7;
  const int algorithm = instrument.regC0 & 1;
  Ma2VoiceRecord record{};
  record[0] = static_cast<uint8_t>(kEffectFrequency << 6 | feedback << 3 | algorithm);
  record[1] = 0x01;
  PutOperator(instrument.modulator, modulatorMultiple, &record[2]);
  PutOperator(instrument.carrier, carrierMultiple, &record[7]);
  record[12] = 0xF7;
  return record;
}

bool DeriveBankVoices(const std::vector<BankInstrument>& bank, std::vector<DerivedVoice>& out,
                      std::string& error) {
  if (bank.size() != static_cast<size_t>(kBankInstruments)) {
    error = "the bank must hold 175 instruments";
    return false;
  }
  out.clear();
  for (int program = kFirstBankMelodic; program < kBankMelodic; ++program) {
    const BankInstrument& instrument = bank[program];
    out.push_back(
        {program, ConvertInstrument(instrument), std::to_string(program) + " " + instrument.name});
  }
  auto bankDrum = [&](int note) -> const BankInstrument* {
    const int index = note - kBankFirstDrumNote;
    return index >= 0 && index < kBankDrums ? &bank[kBankMelodic + index] : nullptr;
  };
  for (const DrumChoice& choice : kDrumChoices) {
    const BankInstrument* own = bankDrum(choice.note);
    const BankInstrument* used = bankDrum(choice.bankNote);
    const bool ownSounds = own != nullptr && !IsSilent(*own);
    // The bank's own drum is used wherever it sounds; a stand-in must sound.
    if (ownSounds != (choice.bankNote == choice.note) || used == nullptr || IsSilent(*used)) {
      error = "drum note " + std::to_string(choice.note) + " (" + choice.name +
              "): the stand-in choice does not fit the bank";
      return false;
    }
    std::string source = "drum " + std::to_string(choice.note) + " " + choice.name;
    if (choice.bankNote != choice.note) {
      source += ", from the bank's " + used->name + " (" + std::to_string(choice.bankNote) + ")";
    }
    out.push_back({kDrumEntryBase + choice.note, ConvertInstrument(*used), source});
  }
  return true;
}

std::string FormatBankVoices(const std::vector<DerivedVoice>& voices, std::string_view licence) {
  std::string text =
      "// Built-in MA2 2-operator voices derived from third_party/genmidi/GENMIDI.lmp.\n"
      "// Generated by tools/genmidi_to_voices; do not edit. Regenerate with\n"
      "//   cmake --build <build folder> --target regenerate_voice_bank\n"
      "// Each line: {table entry, {record bytes}}; entries 128-255 are drum notes 0-127.\n"
      "//\n"
      "// The bank's licence:\n";
  size_t start = 0;
  while (start < licence.size()) {
    size_t end = licence.find('\n', start);
    if (end == std::string_view::npos) {
      end = licence.size();
    }
    const std::string_view line = licence.substr(start, end - start);
    text += line.empty() ? "//\n" : "//   " + std::string(line) + "\n";
    start = end + 1;
  }
  text += "\n// clang-format off\n";
  for (const DerivedVoice& voice : voices) {
    text += "// " + voice.source + "\n{" + std::to_string(voice.entry) + ", {";
    for (size_t i = 0; i < voice.record.size(); ++i) {
      text += (i == 0 ? "" : ", ") + Hex(voice.record[i]);
    }
    text += "}},\n";
  }
  text += "// clang-format on\n";
  return text;
}
