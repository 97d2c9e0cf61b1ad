#include "tools/genmidi_bank.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/reader/compiled_score.h"
#include "tests/test_util.h"
#include "voices/voice_tables.h"

namespace {

// ---- Helpers ----------------------------------------------------------------------------------

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(QUAVREX_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::span<const uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

const std::vector<BankInstrument>& Bank() {
  static const std::vector<BankInstrument> bank = [] {
    static const std::string lump = ReadSourceFile("third_party/genmidi/GENMIDI.lmp");
    std::vector<BankInstrument> out;
    std::string error;
    EXPECT_TRUE(ParseBank(AsBytes(lump), out, error)) << error;
    return out;
  }();
  return bank;
}

// The fields of one operator group of an MA2 record, read back from its bytes.
struct OperatorFields {
  int multiple, vibrato, envelope, sustain, keyScaleRate;
  int release, decay, attack, sustainLevel, totalLevel, keyScaleLevel;
  int vibratoLevel, tremoloLevel, tremolo, waveform;
  bool operator==(const OperatorFields&) const = default;
};

struct VoiceFields {
  int effectFrequency, feedback, algorithm, byte1;
  OperatorFields modulator, carrier;
  bool operator==(const VoiceFields&) const = default;
};

OperatorFields ReadOperatorFields(const uint8_t* g) {
  return {g[0] >> 4, (g[0] >> 3) & 1, (g[0] >> 2) & 1, (g[0] >> 1) & 1, g[0] & 1,
          g[1] >> 4, g[1] & 15,       g[2] >> 4,       g[2] & 15,       g[3] >> 2,
          g[3] & 3,  g[4] >> 6,       (g[4] >> 4) & 3, (g[4] >> 3) & 1, g[4] & 7};
}

VoiceFields ReadFields(const Ma2VoiceRecord& r) {
  return {r[0] >> 6, (r[0] >> 3) & 7,           r[0] & 7,
          r[1],      ReadOperatorFields(&r[2]), ReadOperatorFields(&r[7])};
}

std::ostream& operator<<(std::ostream& os, const OperatorFields& f) {
  return os << "mul " << f.multiple << " vib " << f.vibrato << " eg " << f.envelope << " sus "
            << f.sustain << " ksr " << f.keyScaleRate << " rr " << f.release << " dr " << f.decay
            << " ar " << f.attack << " sl " << f.sustainLevel << " tl " << f.totalLevel << " ksl "
            << f.keyScaleLevel << " vibl " << f.vibratoLevel << " treml " << f.tremoloLevel
            << " trem " << f.tremolo << " wave " << f.waveform;
}

std::ostream& operator<<(std::ostream& os, const VoiceFields& f) {
  return os << "ef " << f.effectFrequency << " fb " << f.feedback << " alg " << f.algorithm
            << " b1 " << f.byte1 << "\n  mod: " << f.modulator << "\n  car: " << f.carrier;
}

// ---- The converter, field by field ----------------------------------------------------------

struct ConvertCase {
  int instrument;  // index in the bank: 0-127 programs, 128 + n drum note 35 + n
  const char* name;
  VoiceFields fields;
};

// Expected values read by hand from the bank's register bytes. Vibrato and tremolo levels are
// always 2; the sustain flag is always 0.
// clang-format off
const ConvertCase kConvertCases[] = {
  // 10 90 F6 00 00 1C | 0A | 10 A1 F5 00 80 00, no note offset
  {0, "Acoustic Grand Piano", {1, 5, 0, 1,
      {0, 0, 0, 0, 1,  6, 0, 9, 15, 28, 0,  2, 2, 0, 0},
      {0, 0, 0, 0, 1,  5, 1, 10, 15, 0, 2,  2, 2, 0, 0}}},
  // 62 B4 25 00 C0 0A | 0E | 61 44 06 01 00 00, an octave down: multiples 2, 1 become 1, 0
  {40, "Violin", {1, 7, 0, 1,
      {1, 1, 1, 0, 0,  5, 4, 11, 2, 10, 3,  2, 2, 0, 0},
      {0, 1, 1, 0, 0,  6, 4, 4, 0, 0, 0,  2, 2, 0, 1}}},
  // 01 6A 64 02 80 24 | 20 | A1 63 66 00 00 00, an octave down; 0xC0 bits above 3 are not feedback
  {73, "Flute", {1, 0, 0, 1,
      {0, 0, 0, 0, 0,  4, 10, 6, 6, 36, 2,  2, 2, 0, 2},
      {0, 0, 1, 0, 0,  6, 3, 6, 6, 0, 0,  2, 2, 1, 0}}},
  // drum note 38: 0F A1 F1 02 00 00 | 0E | 00 D7 F7 00 00 00
  {128 + 3, "Acoustic Snare", {1, 7, 0, 1,
      {15, 0, 0, 0, 0,  1, 1, 10, 15, 0, 0,  2, 2, 0, 2},
      {0, 0, 0, 0, 0,  7, 7, 13, 15, 0, 0,  2, 2, 0, 0}}},
};
// clang-format on

TEST(GenmidiBankTest, ConvertsInstrumentsFieldByField) {
  ASSERT_EQ(Bank().size(), 175u);
  for (const ConvertCase& cc : kConvertCases) {
    SCOPED_TRACE(cc.name);
    const BankInstrument& instrument = Bank()[cc.instrument];
    EXPECT_EQ(instrument.name, cc.name);
    const Ma2VoiceRecord record = ConvertInstrument(instrument);
    EXPECT_EQ(ReadFields(record), cc.fields);
    EXPECT_EQ(record[12], 0xF7);
  }
}

// Multiples: the chip's aliases, and halving only when the instrument is an octave down and
// both operators have an exact half.
struct MultipleCase {
  int modulator, carrier, noteOffset;
  int modulatorOut, carrierOut;
};

const MultipleCase kMultipleCases[] = {
    {11, 13, 0, 10, 12}, {14, 3, 0, 15, 3}, {2, 4, -12, 1, 2}, {11, 12, -12, 5, 6},
    {1, 8, -12, 0, 4},   {3, 2, -12, 3, 2}, {2, 0, -12, 2, 0}, {14, 2, -12, 15, 2},
    {2, 4, 0, 2, 4},     {2, 4, 12, 2, 4},
};

TEST(GenmidiBankTest, MultiplesFollowAliasesAndHalveForAnOctaveDown) {
  for (const MultipleCase& mc : kMultipleCases) {
    SCOPED_TRACE(testing::Message()
                 << mc.modulator << " " << mc.carrier << " offset " << mc.noteOffset);
    BankInstrument instrument{};
    instrument.modulator.reg20 = static_cast<uint8_t>(0xF0 | mc.modulator);
    instrument.carrier.reg20 = static_cast<uint8_t>(mc.carrier);
    instrument.noteOffset = mc.noteOffset;
    const VoiceFields fields = ReadFields(ConvertInstrument(instrument));
    EXPECT_EQ(fields.modulator.multiple, mc.modulatorOut);
    EXPECT_EQ(fields.carrier.multiple, mc.carrierOut);
    // The other bits of register 0x20 keep their places.
    EXPECT_EQ(fields.modulator.tremolo, 1);
    EXPECT_EQ(fields.modulator.vibrato, 1);
    EXPECT_EQ(fields.modulator.envelope, 1);
    EXPECT_EQ(fields.modulator.keyScaleRate, 1);
  }
}

TEST(GenmidiBankTest, RejectsWhatIsNotABank) {
  std::string lump = ReadSourceFile("third_party/genmidi/GENMIDI.lmp");
  std::vector<BankInstrument> out;
  std::string error;
  EXPECT_FALSE(ParseBank(AsBytes(lump.substr(0, lump.size() - 1)), out, error));
  EXPECT_FALSE(error.empty());
  lump[0] = '$';
  EXPECT_FALSE(ParseBank(AsBytes(lump), out, error));
  std::vector<DerivedVoice> voices;
  EXPECT_FALSE(DeriveBankVoices({}, voices, error));
}

// ---- The table in the build -----------------------------------------------------------------

TEST(GenmidiBankTest, CheckedInTableIsWhatTheConverterMakes) {
  std::vector<DerivedVoice> voices;
  std::string error;
  ASSERT_TRUE(DeriveBankVoices(Bank(), voices, error)) << error;
  ASSERT_EQ(voices.size(), 126u + 59u);
  const std::string licence = ReadSourceFile("third_party/genmidi/LICENSE");
  ASSERT_FALSE(licence.empty());
  EXPECT_EQ(FormatBankVoices(voices, licence), ReadSourceFile("voices/ma2_bank_voices.inc"))
      << "voices/ma2_bank_voices.inc is stale: build the target regenerate_voice_bank";
  const Ma2VoiceTable& table = BuiltInMa2Voices();
  for (const DerivedVoice& voice : voices) {
    SCOPED_TRACE(voice.source);
    EXPECT_EQ(HexDump(Bytes(table[voice.entry].begin(), table[voice.entry].end())),
              HexDump(Bytes(voice.record.begin(), voice.record.end())));
  }
}

TEST(GenmidiBankTest, MelodicVoicesComeFromTheSameProgram) {
  const Ma2VoiceTable& table = BuiltInMa2Voices();
  for (int program = 2; program < 128; ++program) {
    EXPECT_EQ(table[program], ConvertInstrument(Bank()[program])) << program;
  }
}

bool Sounds(const Ma2VoiceRecord& r) {
  const VoiceFields f = ReadFields(r);
  const bool attacks = f.modulator.attack > 0 || f.carrier.attack > 0;
  return attacks && f.carrier.totalLevel < 63;
}

TEST(GenmidiBankTest, EveryDrumFrom25To83Sounds) {
  const Ma2VoiceTable& table = BuiltInMa2Voices();
  for (int note = 25; note <= 83; ++note) {
    EXPECT_TRUE(Sounds(table[128 + note])) << "drum note " << note;
  }
  // The bank's own drum where it has a sounding one; its silent placeholders are replaced.
  EXPECT_EQ(table[128 + 38], ConvertInstrument(Bank()[128 + 3]));
  EXPECT_TRUE(IsSilent(Bank()[128 + 60 - 35]));
  EXPECT_EQ(table[128 + 60], table[128 + 50]);  // hi bongo: high tom
  EXPECT_EQ(table[128 + 83], table[128 + 54]);  // jingle bell: tambourine
}

TEST(GenmidiBankTest, RecordsOutsideTheBankStayAsGiven) {
  const Ma2VoiceTable& ma2 = BuiltInMa2Voices();
  const Ma1VoiceTable& ma1 = BuiltInMa1Voices();
  const auto zero2 = ZeroVoiceRecord<Ma2VoiceRecord>();
  const auto zero4 = ZeroVoiceRecord<Ma2FourOpVoiceRecord>();
  for (int note = 0; note < 128; ++note) {
    if (note < 24 || note > 84) {
      EXPECT_EQ(ma2[128 + note], zero2) << "drum note " << note;
    }
  }
  for (const Ma2FourOpVoiceRecord& record : BuiltInMa2FourOpVoices()) {
    EXPECT_EQ(record, zero4);
  }
  for (int voice = 2; voice < 127; ++voice) {
    EXPECT_EQ(ma1[voice], ma1[0]) << "MA1 voice " << voice;
  }
  // The records given for MA1 voices 0, 1, 127 and MA2 voices 0, 1 and drum notes 24, 84 are
  // pinned byte for byte in tests/voices/voice_tables_test.cpp.
}

// ---- Into the output ---------------------------------------------------------------------------

// A score selecting voice 40 in MA2 carries the converted violin record in its setup chunk.
TEST(GenmidiBankTest, SelectedVoiceReachesTheSetupChunk) {
  const CompiledScore c = CompileInMemory("1[@40 c]", true, false, ".");
  ASSERT_TRUE(c.ok) << c.message;
  const Ma2VoiceRecord violin = ConvertInstrument(Bank()[40]);
  // "Mtsu", its size left 0, then voice slot 0 for melodic voice 40 (0x28) and its record.
  Bytes expected = FromHex("4D 74 73 75 00 00 00 00 FF F0 12 43 03 00 00 28");
  expected.insert(expected.end(), violin.begin(), violin.end());
  EXPECT_EQ(HexDump(c.setup.bytes), HexDump(expected));
  EXPECT_EQ(HexDump(expected).substr(48), "78 01 1C 54 B2 2B A0 0C 64 40 00 A1 F7");
}

}  // namespace
