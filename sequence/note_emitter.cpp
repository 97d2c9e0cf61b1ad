// Sounding a note: normal mode (EV_NOTE with a duration, slurs and ties held open and patched
// later) and MA2 frequency mode (EV_FREQ_NOTE key-on, legato change and key-off, for detuned
// pitches and glides).

#include <array>
#include <cassert>
#include <cstdint>

#include "core/seq_event.h"
#include "sequence/length_reader.h"
#include "sequence/step_messages.h"
#include "sequence/step_support.h"

namespace sm = sequence_messages;

namespace {

// A slurred note sounds this many ticks into the next note; a plain note stops this many
// ticks before its gate ends.
constexpr int kOverlapTicks = 2;

// Sets the duration of the slot's held note event (none when the event cap refused it).
void SetHeldDuration(CMmlCompiler& mc, int slot, int64_t ticks) {
  const EventList::Handle held = mc.m_heldEvent[slot];
  if (held != CMmlCompiler::kNoEvent) {
    mc.m_trackEvents[slot / 4][held].params.Set(1, ticks);
  }
}

// Ends a held note that the next note does not continue: it lasts until `time` and overlaps.
void ReleaseHeldNote(CMmlCompiler& mc, int slot, int64_t time) {
  if (mc.m_heldNote[slot] != -1) {
    auto held = static_cast<double>(time - mc.m_heldStart[slot]);
    SetHeldDuration(mc, slot, RoundHalfUp(held * 0.0001) + kOverlapTicks);
    mc.m_heldNote[slot] = -1;
  }
}

// F-number of each semitone of a block at c = 0 and its rise over a whole semitone of detune.
constexpr int kFnumberBase[12] = {88, 109, 131, 154, 178, 204, 231, 260, 291, 324, 358, 395};
constexpr int kFnumberRise[12] = {22, 22, 23, 24, 26, 27, 29, 31, 33, 34, 37, 38};

// The two pitch bytes of a frequency-mode event. A pitch under the lowest block has none.
struct PitchBytes {
  uint8_t low = 0;
  uint8_t high = 0;  // F-number bits 8-9 plus one, and the block from bit 2; 0: no such pitch
};

// Pitches are counted in 1/16 semitone: 16 m + c for a semitone m and a fraction c of 0-15.
// A playable note (13-108) less its one borrowed semitone starts at m = 12.
constexpr int kLowestPitch = 12 * 16;
constexpr int kPitches = (108 - 12 + 1) * 16;

// The bytes of pitch 16 m + c, worked out as the chip counts them.
constexpr PitchBytes PitchBytesOf(int m, int c) {
  const int semitone = m % 12;
  int block = m / 12 - 1;
  int fnumber = kFnumberBase[semitone] + kFnumberRise[semitone] * c / 16;
  if (semitone == 0) {
    // C counts from 433, the top of the block below, and moves up a block past 434.
    const int v = 433 + kFnumberRise[0] * c / 16;
    if (v > 434) {
      fnumber = v - 345;
    } else {
      fnumber = v;
      block -= 1;
    }
  }
  if (block < 0) {
    return {};
  }
  return {static_cast<uint8_t>(fnumber & 255),
          static_cast<uint8_t>(((fnumber >> 8) + 1) | (block << 2))};
}

// Every note of a glide is sounded in frequency mode, so its bytes are looked up.
constexpr std::array<PitchBytes, kPitches> kPitchTable = [] {
  std::array<PitchBytes, kPitches> table{};
  for (int p = 0; p < kPitches; ++p) {
    table[p] = PitchBytesOf((kLowestPitch + p) / 16, p % 16);
  }
  return table;
}();

}  // namespace

void EmitNormalNote(CMmlCompiler& mc, int slot, const SequenceNote& note, int64_t& time) {
  int gate = mc.m_gate[slot];
  if (mc.m_heldNote[slot] != note.number) {
    ReleaseHeldNote(mc, slot, time);
  } else if (!note.slurred) {
    // The last note of a tie: the held event lasts to this note's gate end. Gate part plus
    // slot time minus start, in that order in doubles (the order decides the rounding once the
    // times pass 2^53).
    double end = static_cast<double>(gate * note.length) * 0.125 + static_cast<double>(time) -
                 static_cast<double>(mc.m_heldStart[slot]);
    SetHeldDuration(mc, slot, RoundHalfUp(end * 0.0001) - kOverlapTicks);
  }
  if (mc.m_heldNote[slot] == -1) {
    int64_t duration = 0;
    mc.m_heldStart[slot] = 0;
    if (note.slurred) {
      mc.m_heldStart[slot] = time;  // the duration is set when the slur ends
    } else {
      duration = RoundHalfUp(static_cast<double>(gate * note.length) * 0.0000125) - kOverlapTicks;
    }
    mc.m_heldEvent[slot] = EmitEvent(mc, slot, TicksOf(time), EV_NOTE, {note.number, duration});
    mc.m_legatoPending[slot] = 0;
    mc.m_heldNote[slot] = note.number;
  }
  time = AdvanceTime(time, note.length);
  if (!note.slurred) {
    mc.m_heldNote[slot] = -1;
    mc.m_heldStart[slot] = 0;
  }
}

bool EmitFrequencyNote(CMmlCompiler& mc, int slot, const SequenceNote& note, std::string_view name,
                       int64_t& time) {
  // A held normal-mode note of the slot ends here, as before a note of another pitch.
  ReleaseHeldNote(mc, slot, time);

  // The pitch in 1/16 semitone: the note number holds the whole semitones of the detune
  // (rounded toward zero), so a negative remainder borrows one semitone.
  const int64_t pitch = int64_t{note.number} * 16 + mc.m_detune[slot] % 16;
  const int64_t index = pitch - kLowestPitch;
  assert(index >= 0 && index < kPitches);  // the note number was range-checked
  const PitchBytes bytes = static_cast<uint64_t>(index) < kPitches
                               ? kPitchTable[static_cast<size_t>(index)]
                               : PitchBytes{};
  if (bytes.high == 0) {
    return FailWithText(mc, slot, sm::kByteHead, name, sm::kBelowRangeTail);
  }
  const int low = bytes.low;
  const int high = bytes.high;
  const int64_t tick = TicksOf(time);
  EmitEvent(mc, slot, tick, EV_FREQ_NOTE, {low, high, mc.m_legatoPending[slot] != 0 ? 2 : 1});
  if (!note.slurred) {
    // Key-off 2 ticks before the gate ends.
    int64_t off =
        static_cast<int64_t>(static_cast<double>(mc.m_gate[slot] * note.length) * 0.125 - 20000);
    off = off < 0 ? 0 : off;
    EmitEvent(mc, slot, RoundHalfUp(static_cast<double>(time + off) * 0.0001), EV_FREQ_NOTE,
              {low, high, 0});
  }
  time = AdvanceTime(time, note.length);
  mc.m_legatoPending[slot] = note.slurred ? 1 : 0;
  return true;
}
