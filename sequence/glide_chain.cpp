// Sounding a planned portamento chain (core/glide_chain.h): one note per step of the slot, with
// the commands that stand before it in the chain, exactly as the step would compile the chain
// written out in the part text.

#include "sequence/glide_chain.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/messages.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"
#include "sequence/pitch_bytes.h"
#include "sequence/step_support.h"

namespace sm = messages::sequence;

namespace {

constexpr int64_t kTick = 10000;  // fine units per tick
constexpr int64_t kLargestNumber = 2147483647;

bool InRange(int64_t n, int64_t low, int64_t high) { return n >= low && n <= high; }

// The value a command of the chain reads: its number saturates like any number of the text.
int64_t AsRead(int64_t value) { return value > 2147483647 ? 2147483647 : value; }

// Applies the octave commands of one mark text ("O5", "<", "O+4" ...).
bool ApplyMarks(PartCompiler& mc, int slot, std::string& marks, int64_t& time) {
  for (size_t cursor = 0; cursor < marks.size();) {
    const uint8_t command = ByteAt(marks, cursor++);
    if (!CompileStateCommand(mc, slot, command, marks, cursor, time)) {
      return false;
    }
  }
  return true;
}

// "@K~n" / "@K_n" (MA2 detune) or "K~n" / "K_n" (key shift), relative.
bool StepCommand(PartCompiler& mc, int slot, const GlideChain& g) {
  const int64_t n = AsRead(g.stepValue);
  const int direction = g.stepUp ? 1 : -1;
  if (g.step == GlideChain::Step::kDetune) {
    if (!InRange(n, 1, 512)) {
      return mc.FailPart(slot, g.stepUp ? sm::kDetuneUp : sm::kDetuneDown);
    }
    if (mc.format == kFormatMa2) {
      mc.slots[slot].detune = Saturated(mc.slots[slot].detune + direction * n);
    }
    return true;
  }
  if (!InRange(n, 1, 127)) {
    return mc.FailPart(slot, g.stepUp ? sm::kKeyUp : sm::kKeyDown);
  }
  mc.slots[slot].transpose = Saturated(mc.slots[slot].transpose + direction * n);
  return true;
}

// "@Kn" / "K n" with the value of the group's start, absolute.
bool RestoreCommand(PartCompiler& mc, int slot, const GlideChain& g) {
  const bool negative = g.restore < 0;
  const int64_t n = AsRead(negative ? -g.restore : g.restore);
  if (g.step == GlideChain::Step::kDetune) {
    if (!InRange(n, 0, 512)) {
      return mc.FailPart(slot, sm::kDetune);
    }
    if (mc.format == kFormatMa2) {
      mc.slots[slot].detune = static_cast<int>(negative ? -n : n);
    }
    return true;
  }
  if (!InRange(n, 0, 127)) {
    return mc.FailPart(slot, sm::kKey);
  }
  mc.slots[slot].transpose = static_cast<int>(negative ? -n : n);
  return true;
}

// Whether the slur chain that goes on after the chain note just read (and its "&") needs
// frequency mode: a detune step or a detune restored to other than 0 before a later note of
// the chain, or what the part text after the group holds. `cursor` is the group's end.
bool ChainAheadNeedsFrequency(PartCompiler& mc, int slot, const std::string& text, size_t cursor) {
  if (mc.slots[slot].plainChainUntil >= cursor) {
    return false;  // a scan from an earlier note of this chain found none
  }
  const GlideChain& g = mc.slots[slot].glide;
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
  mc.slots[slot].plainChainUntil = stop;
  return false;
}

}  // namespace

bool PartCompiler::CompileGlideStep(int slot, const std::string& text, size_t& cursor,
                                    int64_t& time) {
  GlideChain& g = slots[slot].glide;
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
    if (faultFrom == std::string::npos) {
      faultFrom = faultTo = g.groupStart;  // a fault in the chain is one of the group
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
