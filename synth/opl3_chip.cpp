#include "synth/opl3_chip.h"

extern "C" {
#include <adplug/nukedopl.h>
}

namespace {

// Register 0x105 bit 0 (NEW) enables the OPL3 features: four waveforms more, the second
// bank and the 4-operator channels.
constexpr int kNewModeRegister = 0x105;
constexpr int kFourOpRegister = 0x104;
// Envelope output at full attenuation (9 bits).
constexpr int kSilentEnvelope = 0x1FF;

}  // namespace

struct Opl3Chip::State {
  opl3_chip chip;
};

Opl3Chip::Opl3Chip() : m_state(std::make_unique<State>()) { Reset(0); }

Opl3Chip::~Opl3Chip() = default;

void Opl3Chip::Reset(int fourOpPairs) {
  OPL3_Reset(&m_state->chip, kChipRate);
  OPL3_WriteReg(&m_state->chip, kNewModeRegister, 1);
  OPL3_WriteReg(&m_state->chip, kFourOpRegister, static_cast<uint8_t>(fourOpPairs & 0x3F));
}

void Opl3Chip::Write(int reg, int value) {
  OPL3_WriteReg(&m_state->chip, static_cast<uint16_t>(reg), static_cast<uint8_t>(value));
}

void Opl3Chip::Generate(int32_t* mix, int count) {
  int16_t frame[2];
  for (int i = 0; i < count; ++i) {
    OPL3_Generate(&m_state->chip, frame);
    mix[i] += frame[0];
  }
}

bool Opl3Chip::IsSilent() const {
  for (const opl3_slot& slot : m_state->chip.slot) {
    if (slot.key != 0 || slot.eg_rout < kSilentEnvelope) {
      return false;
    }
  }
  return true;
}
