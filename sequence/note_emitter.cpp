// Sounding a note: normal mode (EV_NOTE with a duration, slurs and ties held open and patched
// later) and MA2 frequency mode (EV_FREQ_NOTE key-on, legato change and key-off, for detuned
// pitches and glides).

#include <cassert>
#include <cstdint>

#include "core/messages.h"
#include "core/seq_event.h"
#include "sequence/length_reader.h"
#include "sequence/pitch_bytes.h"
#include "sequence/step_support.h"

namespace sm = messages::sequence;

namespace {

// A slurred note sounds this many ticks into the next note; a plain note stops this many
// ticks before its gate ends.
constexpr int kOverlapTicks = 2;

// Sets the duration of the slot's held note event (none when the event cap refused it).
void SetHeldDuration(PartCompiler& mc, int slot, int64_t ticks) {
  const EventList::Handle held = mc.slots[slot].heldEvent;
  if (held != PartCompiler::kNoEvent) {
    mc.tracks.trackEvents[slot / 4][held].params.Set(1, ticks);
  }
}

// Ends a held note that the next note does not continue: it lasts until `time` and overlaps.
void ReleaseHeldNote(PartCompiler& mc, int slot, int64_t time) {
  if (mc.slots[slot].heldNote != -1) {
    SetHeldDuration(mc, slot, TicksOf(time - mc.slots[slot].heldStart) + kOverlapTicks);
    mc.slots[slot].heldNote = -1;
  }
}

}  // namespace

void EmitNormalNote(PartCompiler& mc, int slot, const SequenceNote& note, int64_t& time) {
  int gate = mc.slots[slot].gate;
  if (mc.slots[slot].heldNote != note.number) {
    ReleaseHeldNote(mc, slot, time);
  } else if (!note.slurred) {
    // The last note of a tie: the held event lasts to this note's gate end. Gate part plus
    // slot time minus start, in that order in doubles (the order decides the rounding once the
    // times pass 2^53).
    double end = static_cast<double>(gate * note.length) * 0.125 + static_cast<double>(time) -
                 static_cast<double>(mc.slots[slot].heldStart);
    SetHeldDuration(mc, slot, RoundHalfUp(end * 0.0001) - kOverlapTicks);
  }
  if (mc.slots[slot].heldNote == -1) {
    int64_t duration = 0;
    mc.slots[slot].heldStart = 0;
    if (note.slurred) {
      mc.slots[slot].heldStart = time;  // the duration is set when the slur ends
    } else {
      duration = GateTicks(gate, note.length) - kOverlapTicks;
    }
    mc.slots[slot].heldEvent = EmitEvent(mc, slot, TicksOf(time), EV_NOTE, {note.number, duration});
    mc.slots[slot].legatoPending = 0;
    mc.slots[slot].heldNote = note.number;
  }
  time = AdvanceTime(time, note.length);
  if (!note.slurred) {
    mc.slots[slot].heldNote = -1;
    mc.slots[slot].heldStart = 0;
  }
}

bool EmitFrequencyNote(PartCompiler& mc, int slot, const SequenceNote& note, std::string_view name,
                       int64_t& time) {
  // A held normal-mode note of the slot ends here, as before a note of another pitch.
  ReleaseHeldNote(mc, slot, time);

  // The pitch in 1/16 semitone: the note number holds the whole semitones of the detune
  // (rounded toward zero), so a negative remainder borrows one semitone.
  const int64_t pitch = int64_t{note.number} * 16 + mc.slots[slot].detune % 16;
  assert(pitch >= 13 * 16 - 15 && pitch < 109 * 16);  // the note number was range-checked
  const PitchBytes bytes = PitchBytesAt(pitch);
  if (bytes.high == 0) {
    return FailWithText(mc, slot, sm::kByteHead, name, sm::kBelowRangeTail);
  }
  const int low = bytes.low;
  const int high = bytes.high;
  const int64_t tick = TicksOf(time);
  EmitEvent(mc, slot, tick, EV_FREQ_NOTE, {low, high, mc.slots[slot].legatoPending != 0 ? 2 : 1});
  if (!note.slurred) {
    // Key-off 2 ticks before the gate ends.
    int64_t off = static_cast<int64_t>(
        static_cast<double>(mc.slots[slot].gate * note.length) * 0.125 - 20000);
    off = off < 0 ? 0 : off;
    EmitEvent(mc, slot, TicksOf(time + off), EV_FREQ_NOTE, {low, high, 0});
  }
  time = AdvanceTime(time, note.length);
  mc.slots[slot].legatoPending = note.slurred ? 1 : 0;
  return true;
}
