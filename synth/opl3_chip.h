#ifndef QUAVREX_SYNTH_OPL3_CHIP_H_
#define QUAVREX_SYNTH_OPL3_CHIP_H_

#include <cstdint>
#include <memory>
#include <vector>

// The sample rate of the emulated FM chip: its master clock divided down, one sample per
// envelope and phase step.
constexpr int kChipRate = 49716;

// One call that reached the emulator: Reset (`arg` the pairs), Write (`arg` the register) or
// Generate (`arg` the sample count), on the chip made `chip`-th while recording.
struct Opl3Call {
  enum class Kind : uint8_t { kReset, kWrite, kGenerate };
  Kind kind;
  uint8_t chip;
  uint16_t arg;
  uint8_t value;
};

// While one lives, every Opl3Chip made on this thread appends the calls it passes to the
// emulator to `calls`, so that a render's emulator work can be replayed alone (the render
// benchmark does). Recordings do not nest.
class Opl3Recording {
 public:
  explicit Opl3Recording(std::vector<Opl3Call>& calls);
  ~Opl3Recording();
  Opl3Recording(const Opl3Recording&) = delete;
  Opl3Recording& operator=(const Opl3Recording&) = delete;
};

// One emulated OPL3 (Nuked OPL3 from libadplug) in OPL3 mode, writing the left output only:
// the handset is mono. This is the one file that includes the library's header, whose
// functions have C linkage although the header does not declare it.
class Opl3Chip {
 public:
  Opl3Chip();
  ~Opl3Chip();
  Opl3Chip(const Opl3Chip&) = delete;
  Opl3Chip& operator=(const Opl3Chip&) = delete;

  // Clears every register and switches the chip into OPL3 mode with the 4-operator channel
  // pairs given as the bits of register 0x104 (bit 0: channels 0+3, ... bit 5: 11+14).
  void Reset(int fourOpPairs);
  // Writes one register: 0x000-0x0FF the first bank, 0x100-0x1FF the second.
  void Write(int reg, int value);
  // Adds `count` samples of the chip's output to `mix`.
  void Generate(int32_t* mix, int count);
  // True when no operator is keyed and every envelope sits at full attenuation, so the chip
  // would only produce zeros.
  bool IsSilent() const;

 private:
  void Record(Opl3Call::Kind kind, int arg, int value);

  struct State;
  std::unique_ptr<State> state_;
  std::vector<Opl3Call>* record_ = nullptr;  // set while an Opl3Recording lived at creation
  uint8_t recordId_ = 0;
};

#endif  // QUAVREX_SYNTH_OPL3_CHIP_H_
