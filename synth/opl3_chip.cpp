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

// The live recording of this thread and the chips made under it.
thread_local std::vector<Opl3Call>* t_recording = nullptr;
thread_local int t_recordedChips = 0;

}  // namespace

struct Opl3Chip::State {
  opl3_chip chip;
};

Opl3Recording::Opl3Recording(std::vector<Opl3Call>& calls) {
  t_recording = &calls;
  t_recordedChips = 0;
}

Opl3Recording::~Opl3Recording() { t_recording = nullptr; }

Opl3Chip::Opl3Chip() : state_(std::make_unique<State>()) {
  // The reset every chip starts with is left out of the record: a replaying chip makes it too.
  Reset(0);
  if (t_recording != nullptr) {
    record_ = t_recording;
    recordId_ = static_cast<uint8_t>(t_recordedChips++);
  }
}

Opl3Chip::~Opl3Chip() = default;

void Opl3Chip::Record(Opl3Call::Kind kind, int arg, int value) {
  record_->push_back({kind, recordId_, static_cast<uint16_t>(arg), static_cast<uint8_t>(value)});
}

void Opl3Chip::Reset(int fourOpPairs) {
  if (record_ != nullptr) {
    Record(Opl3Call::Kind::kReset, fourOpPairs, 0);
  }
  OPL3_Reset(&state_->chip, kChipRate);
  OPL3_WriteReg(&state_->chip, kNewModeRegister, 1);
  OPL3_WriteReg(&state_->chip, kFourOpRegister, static_cast<uint8_t>(fourOpPairs & 0x3F));
}

void Opl3Chip::Write(int reg, int value) {
  if (record_ != nullptr) {
    Record(Opl3Call::Kind::kWrite, reg, value);
  }
  OPL3_WriteReg(&state_->chip, static_cast<uint16_t>(reg), static_cast<uint8_t>(value));
}

void Opl3Chip::Generate(int32_t* mix, int count) {
  if (record_ != nullptr) {
    Record(Opl3Call::Kind::kGenerate, count, 0);
  }
  int16_t frame[2];
  for (int i = 0; i < count; ++i) {
    OPL3_Generate(&state_->chip, frame);
    mix[i] += frame[0];
  }
}

bool Opl3Chip::IsSilent() const {
  for (const opl3_slot& slot : state_->chip.slot) {
    if (slot.key != 0 || slot.eg_rout < kSilentEnvelope) {
      return false;
    }
  }
  return true;
}
