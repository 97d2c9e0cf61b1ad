#ifndef QUAVREX_SEQUENCE_SCHEDULER_H_
#define QUAVREX_SEQUENCE_SCHEDULER_H_

// The part scheduler's pieces that compiling in two halves (sequence/compile_halves.cpp) shares.
// Not used outside sequence/.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/compiler.h"

// Every part slot, one bit each.
inline constexpr uint32_t kAllSlots = (1u << kPartSlots) - 1;

// Where the scheduler stands in each slot.
struct SlotProgress {
  std::array<size_t, kPartSlots> cursor{};
  std::array<int64_t, kPartSlots> time{};  // fine units
  uint32_t done = 0;

  bool IsDone(int slot) const { return (done >> slot & 1u) != 0; }
  void MarkDone(int slot) { done |= 1u << slot; }
  // The slots still compiling.
  uint32_t Live() const { return ~done & kAllSlots; }
};

// The text a slot compiles: a sequence part, or the ADPCM part for kAdpcmSlot.
inline std::string& TextOf(CMmlCompiler& mc, int slot) {
  return slot == kAdpcmSlot ? mc.m_adpcmPartText : mc.m_partText[slot];
}

// Told how a run of passes goes, now and then; false stops the run.
class PassWatch {
 public:
  virtual ~PassWatch() = default;
  virtual bool GoOn(const CMmlCompiler& mc) = 0;
};

// Runs the passes of the live `slots` (one track, or the ADPCM slot) of a half, in time order,
// until all are done or one fails, or the watch says to stop (false). For a score with no "T"
// left only: the slots of other tracks never change what these make, and no tempo is scanned.
bool RunHalfPasses(CMmlCompiler& mc, SlotProgress& progress, uint32_t slots, PassWatch& watch);

// When the score is long and no "T" is left in it, compiles the live slots to their ends in
// two halves of the tracks at once and returns true; otherwise returns false with `mc` and
// `progress` as they were, for the scheduler to go on. A half that fails, or two that make
// more events than the cap allows, also leave everything as it was: the scheduler then
// compiles it in one, so that the fault it reports is the first in step order.
bool CompileInHalves(CMmlCompiler& mc, SlotProgress& progress);

#endif  // QUAVREX_SEQUENCE_SCHEDULER_H_
