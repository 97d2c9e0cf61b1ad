// Sounding a planned portamento chain (core/glide_chain.h): one note per step of the slot, with
// the commands that stand before it in the chain, exactly as the step would compile the chain
// written out in the part text.

#include "sequence/glide_chain.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/compiler.h"
#include "sequence/length_reader.h"
#include "sequence/pitch_bytes.h"
#include "sequence/step_messages.h"
#include "sequence/step_support.h"

namespace sm = sequence_messages;

namespace {

constexpr int64_t kTick = 10000;  // fine units per tick
constexpr int64_t kLargestNumber = 2147483647;

bool InRange(int64_t n, int64_t low, int64_t high) { return n >= low && n <= high; }

// The value a command of the chain reads: its number saturates like any number of the text.
int64_t AsRead(int64_t value) { return value > 2147483647 ? 2147483647 : value; }

// Applies the octave commands of one mark text ("O5", "<", "O+4" ...).
bool ApplyMarks(CMmlCompiler& mc, int slot, std::string& marks, int64_t& time) {
  for (size_t cursor = 0; cursor < marks.size();) {
    const uint8_t command = ByteAt(marks, cursor++);
    if (!CompileStateCommand(mc, slot, command, marks, cursor, time)) {
      return false;
    }
  }
  return true;
}

// "@K~n" / "@K_n" (MA2 detune) or "K~n" / "K_n" (key shift), relative.
bool StepCommand(CMmlCompiler& mc, int slot, const GlideChain& g) {
  const int64_t n = AsRead(g.stepValue);
  const int direction = g.stepUp ? 1 : -1;
  if (g.step == GlideChain::Step::kDetune) {
    if (!InRange(n, 1, 512)) {
      return mc.FailPart(slot, g.stepUp ? sm::kDetuneUp : sm::kDetuneDown);
    }
    if (mc.m_format == kFormatMa2) {
      mc.m_detune[slot] = Saturated(mc.m_detune[slot] + direction * n);
    }
    return true;
  }
  if (!InRange(n, 1, 127)) {
    return mc.FailPart(slot, g.stepUp ? sm::kKeyUp : sm::kKeyDown);
  }
  mc.m_transpose[slot] = Saturated(mc.m_transpose[slot] + direction * n);
  return true;
}

// "@Kn" / "K n" with the value of the group's start, absolute.
bool RestoreCommand(CMmlCompiler& mc, int slot, const GlideChain& g) {
  const bool negative = g.restore < 0;
  const int64_t n = AsRead(negative ? -g.restore : g.restore);
  if (g.step == GlideChain::Step::kDetune) {
    if (!InRange(n, 0, 512)) {
      return mc.FailPart(slot, sm::kDetune);
    }
    if (mc.m_format == kFormatMa2) {
      mc.m_detune[slot] = static_cast<int>(negative ? -n : n);
    }
    return true;
  }
  if (!InRange(n, 0, 127)) {
    return mc.FailPart(slot, sm::kKey);
  }
  mc.m_transpose[slot] = static_cast<int>(negative ? -n : n);
  return true;
}

// Whether the slur chain that goes on after the chain note just read (and its "&") needs
// frequency mode: a detune step or a detune restored to other than 0 before a later note of
// the chain, or what the part text after the group holds. `cursor` is the group's end.
bool ChainAheadNeedsFrequency(CMmlCompiler& mc, int slot, const std::string& text, size_t cursor) {
  if (mc.m_plainChainUntil[slot] >= cursor) {
    return false;  // a scan from an earlier note of this chain found none
  }
  const GlideChain& g = mc.m_glides[slot];
  const bool detuneSteps = g.step == GlideChain::Step::kDetune;
  // A step still to come: its detune command (never by 0) comes before its slurred note.
  if (g.steps - g.done > 0 && detuneSteps && g.stepValue != 0) {
    return true;
  }
  // After the steps (or the first note of a chain without any), each slurred as well.
  bool need = false;
  bool amp = true;
  if (!g.cut) {
    // The restored detune, then the second note, which the chain does not slur on.
    if (detuneSteps && g.restore != 0) {
      return true;
    }
    amp = false;
  }
  size_t stop = 0;
  if (SlurChainNeedsFrequencyFrom(text, cursor, amp, need, stop)) {
    return true;
  }
  mc.m_plainChainUntil[slot] = stop;
  return false;
}

// A step note as the full path below would sound it, in the case that cannot fail: the step
// command in its range, the note playable and one "*" value long. Returns false, having changed
// nothing, when the full path must compile the step (and report its fault).
bool SoundStepNote(CMmlCompiler& mc, int slot, GlideChain& g, const std::string& text, size_t end,
                   int64_t& time) {
  const int64_t n = AsRead(g.stepValue);
  const int direction = g.stepUp ? 1 : -1;
  const bool ma2 = mc.m_format == kFormatMa2;
  int detune = mc.m_detune[slot];
  int transpose = mc.m_transpose[slot];
  if (g.step == GlideChain::Step::kDetune) {
    if (!InRange(n, 1, 512)) {
      return false;
    }
    if (ma2) {
      detune = Saturated(detune + direction * n);
    }
  } else {
    if (!InRange(n, 1, 127)) {
      return false;
    }
    transpose = Saturated(transpose + direction * n);
  }
  const int64_t number =
      g.written1 + 12 * (int64_t{mc.m_octave[slot]} + 1) + detune / 16 + transpose;
  const int64_t acc = g.acc + g.stepLength;
  const int64_t ticks = acc / kTick;
  if (!InRange(number, ma2 ? kMa2LowestNote : kMa1LowestNote, kHighestNote) ||
      !InRange(ticks, 1, kLargestNumber)) {
    return false;
  }
  // The lowest note detuned down borrows a semitone under the lowest block, which may not sound.
  if (ma2 && number == kMa2LowestNote && detune % 16 < 0) {
    return false;
  }
  ++g.done;
  g.acc = acc % kTick;
  mc.m_detune[slot] = detune;
  mc.m_transpose[slot] = transpose;
  SequenceNote note;
  note.number = static_cast<int>(number);
  note.length = ticks * kTick + mc.m_carryLength[slot];
  mc.m_carryLength[slot] = 0;
  note.slurred = true;
  if (!ma2) {
    // The range report of MA1 compiles shows each channel's compass.
    mc.m_noteHigh[slot] = std::max(mc.m_noteHigh[slot], note.number);
    mc.m_noteLow[slot] = std::min(mc.m_noteLow[slot], note.number);
    EmitNormalNote(mc, slot, note, time);
    return true;
  }
  if (detune != 0 || mc.m_legatoPending[slot] != 0 ||
      ChainAheadNeedsFrequency(mc, slot, text, end)) {
    // The pitch lies in a block (checked above), so the note cannot fail.
    return EmitFrequencyNote(mc, slot, note, g.note1, time);
  }
  EmitNormalNote(mc, slot, note, time);
  return true;
}

// A detune step of an MA2 glide once its notes sound legato in frequency mode, as all after
// the first do: one legato event whose pitch lies the step from the last. Sounds it as
// SoundStepNote would, from the step's own values; false, having changed nothing, when it
// might fail or needs more than those.
bool SoundDetuneStep(CMmlCompiler& mc, int slot, GlideChain& g, int64_t& time) {
  // A legato note pending decides frequency mode before anything else is asked; with no held
  // normal-mode note and no carried rest, nothing but the step's own values is left to look at.
  if (g.detuneDelta == 0 || mc.m_legatoPending[slot] == 0 || mc.m_heldNote[slot] != -1 ||
      mc.m_carryLength[slot] != 0) {
    return false;
  }
  const int next = Saturated(int64_t{mc.m_detune[slot]} + g.detuneDelta);
  // The note number holds the detune's whole semitones; the pitch keeps its remainder too.
  const int64_t base = g.written1 + 12 * (int64_t{mc.m_octave[slot]} + 1) + mc.m_transpose[slot];
  const int64_t number = base + next / 16;
  const PitchBytes bytes = PitchBytesAt(base * 16 + next);
  // The rests carried from step to step make a tick now and then.
  const int64_t rest = g.acc + g.stepRest;
  const bool carry = rest >= kTick;
  const int64_t ticks = g.stepTicks + (carry ? 1 : 0);
  // One under the lowest block has no bytes.
  if (!InRange(number, kMa2LowestNote, kHighestNote) || !InRange(ticks, 1, kLargestNumber) ||
      bytes.high == 0) {
    return false;
  }
  ++g.done;
  g.acc = carry ? rest - kTick : rest;
  mc.m_detune[slot] = next;
  EmitEvent(mc, slot, TicksOf(time), EV_FREQ_NOTE, {bytes.low, bytes.high, 2});
  time = AdvanceTime(time, ticks * kTick);
  return true;
}

// A step note that cannot fail, by the shortest path that sounds it; false, having changed
// nothing, when the full path must compile it (and report its fault).
bool SoundSafeStepNote(CMmlCompiler& mc, int slot, GlideChain& g, const std::string& text,
                       size_t end, int64_t& time) {
  return SoundDetuneStep(mc, slot, g, time) || SoundStepNote(mc, slot, g, text, end, time);
}

// The other channels of the slot's track still compiling, one bit per slot.
uint32_t OtherChannels(const CMmlCompiler& mc, int slot) {
  return mc.m_liveSlots & (0xFu << (slot & ~3)) & ~(1u << slot);
}

// Whether steps after the one at `time` may be sounded ahead: while the scheduler runs, the
// store has room and no other channel of the track steps by then. Asked after every step note,
// so it stops at the first channel that does.
bool MayStepAhead(const CMmlCompiler& mc, int slot, int64_t time) {
  if (mc.m_slotTimes == nullptr || mc.m_eventCount >= kMaxEvents) {
    return false;  // not scheduled, or the store is full (steps are then counted in order)
  }
  for (uint32_t others = OtherChannels(mc, slot); others != 0; others &= others - 1) {
    if (mc.m_slotTimes[std::countr_zero(others)] <= time) {
      return false;
    }
  }
  return true;
}

// Each return to the scheduler costs about as much as a step note; so after the step the
// scheduler asked for, the following step notes that cannot fail are sounded at once, ahead
// of other tracks' steps at those times, as long as no other channel of the slot's track steps
// before them (its events are then made in the order the scheduler would make them; the
// track's list relies on that order to sort fast). Only the count of the event cap sees the
// difference: the times of those steps are kept so that it can count them in step order.
// A run stops at the store's cap and after kMaxStepsAhead steps (bounding what is kept).
void SoundStepsAhead(CMmlCompiler& mc, int slot, GlideChain& g, const std::string& text, size_t end,
                     int64_t& time) {
  constexpr size_t kMaxStepsAhead = 4096;
  // The next step of another channel of the track.
  int64_t until = std::numeric_limits<int64_t>::max();
  for (uint32_t others = OtherChannels(mc, slot); others != 0; others &= others - 1) {
    until = std::min(until, mc.m_slotTimes[std::countr_zero(others)]);
  }
  std::vector<int64_t>& ahead = mc.m_aheadTimes[slot];
  ahead.clear();  // all of the last run lies before this step
  while (g.done < g.steps && time < until && ahead.size() < kMaxStepsAhead &&
         mc.m_eventCount < kMaxEvents) {
    const int64_t start = time;
    const size_t made = mc.m_eventCount;
    if (!SoundSafeStepNote(mc, slot, g, text, end, time)) {
      return;  // the step may fail: the scheduler comes back to it
    }
    if (mc.m_eventCount != made) {
      ahead.push_back(start);
    }
  }
}

}  // namespace

bool CMmlCompiler::SoundSafeGlideStep(int slot, const std::string& text, size_t cursor,
                                      int64_t& time) {
  GlideChain& g = m_glides[slot];
  if (g.done < 0 || g.done >= g.steps || !SoundSafeStepNote(*this, slot, g, text, cursor, time)) {
    return false;
  }
  if (MayStepAhead(*this, slot, time)) {
    SoundStepsAhead(*this, slot, g, text, cursor, time);
  }
  // The last step of a cut chain is the one that fails, so a step that cannot fail never ends
  // one (CompileGlideStep ends it then).
  assert(!g.cut || g.done < g.steps);
  return true;
}

bool CMmlCompiler::CompileGlideStep(int slot, const std::string& text, size_t& cursor,
                                    int64_t& time) {
  GlideChain& g = m_glides[slot];
  const size_t end = cursor;
  bool ok = true;
  if (g.done < 0) {
    g.done = 0;
    ok = ApplyMarks(*this, slot, g.marks[0], time);
    if (ok && g.single) {
      // Nothing of the chain after the note: its length may read on in the text.
      const bool last = g.marks[1].empty() && g.marks[2].empty();
      ok = CompileChainNote(*this, slot, g.note1, g.firstTicks, IsSlurred(text, end),
                            ChainNeedsFrequency, text, end, last ? &cursor : nullptr, time) &&
           ApplyMarks(*this, slot, g.marks[1], time) && ApplyMarks(*this, slot, g.marks[2], time);
      g.active = false;
    } else if (ok) {
      ok = CompileChainNote(*this, slot, g.note1, g.firstTicks, true, ChainAheadNeedsFrequency,
                            text, end, nullptr, time);
      if (ok && MayStepAhead(*this, slot, time)) {
        SoundStepsAhead(*this, slot, g, text, end, time);
      }
    }
  } else if (g.done < g.steps) {
    ++g.done;
    g.acc += g.stepLength;
    const int64_t ticks = g.acc / kTick;
    g.acc %= kTick;
    ok = StepCommand(*this, slot, g) &&
         CompileChainNote(*this, slot, g.note1, ticks, true, ChainAheadNeedsFrequency, text, end,
                          nullptr, time);
  } else {
    const bool last = g.marks[2].empty();
    ok = ApplyMarks(*this, slot, g.marks[1], time) && RestoreCommand(*this, slot, g) &&
         CompileChainNote(*this, slot, g.note2, g.lastTicks, IsSlurred(text, end),
                          ChainNeedsFrequency, text, end, last ? &cursor : nullptr, time) &&
         ApplyMarks(*this, slot, g.marks[2], time);
    g.active = false;
  }
  // A cut chain ends after its steps; the part text follows.
  if (g.active && g.cut && g.done >= g.steps) {
    g.active = false;
  }
  if (!ok) {
    g.active = false;
    if (m_faultFrom == std::string::npos) {
      m_faultFrom = m_faultTo = g.groupStart;  // a fault in the chain is one of the group
    }
  }
  return ok;
}

std::string GlideChainText(const GlideChain& g) {
  auto ticks = [](std::string& out, int64_t t) {
    for (; t > kLargestNumber; t -= kLargestNumber) {
      out += "*2147483647^";
    }
    out += "*" + std::to_string(t);
  };
  std::string out = g.marks[0] + g.note1;
  ticks(out, g.firstTicks);
  if (g.single) {
    return out + g.marks[1] + g.marks[2];
  }
  out += "&";
  const bool detune = g.step == GlideChain::Step::kDetune;
  const std::string command =
      (detune ? "@K" : "K") + std::string(g.stepUp ? "~" : "_") + std::to_string(g.stepValue);
  int64_t acc = g.acc;
  for (int64_t i = 0; i < g.steps; ++i) {
    acc += g.stepLength;
    out += command + g.note1;
    ticks(out, acc / kTick);
    out += "&";
    acc %= kTick;
  }
  if (g.cut) {
    return out;
  }
  out += g.marks[1] + (detune ? "@K" : "K") + std::to_string(g.restore) + g.note2;
  ticks(out, g.lastTicks);
  return out + g.marks[2];
}
