// Portamento: "(" note [marks] ["," | "_"] [marks] note [marks] ")" length [,a [,b [,c]]]
// glides from the first note to the second over the length. The group is planned here as a
// chain of slurred notes with absolute lengths and stepwise pitch shifts (core/glide_chain.h),
// which the sequence step then sounds note by note (sequence/glide_chain.cpp). MA2 steps the
// detune by a quarter semitone ("@K~4"), so the chain sounds in frequency mode as a smooth
// glide; MA1, or a group written with "_", steps whole semitones ("K~n").
//
// The transition values a and c are the shares (percent) of the length held on the first and
// on the second note before and after the glide; b, the glide's own share, only serves to
// fill in a missing a or c.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "core/text_functions.h"
#include "sequence/glide_chain.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"
#include "sequence/step_support.h"

namespace {

namespace sm = messages::sequence;

constexpr int64_t kTick = 10000;  // fine units per tick

// What the scan of one group found.
struct Group {
  int64_t from = 0;  // note numbers of the two notes, as the sequence step computes them
  int64_t to = 0;
  std::string_view note1;  // the notes as written in the part text: letter and accidentals
  std::string_view note2;
  int64_t written1 = 0;          // the first note's semitone in its octave, accidentals included
  std::string* marks = nullptr;  // the chain's octave commands before, between and after the notes
  bool semitone = false;         // "_" between the notes: whole-semitone steps
};

// Semitone of a note letter "A"-"G" within its octave.
int Semitone(uint8_t letter) {
  static constexpr int kSemitones[] = {9, 11, 0, 2, 4, 5, 7};
  return kSemitones[letter - 'A'];
}

// Reads a note of the group at `at` (its letter already stepped over) with its accidentals.
// Fails when a length follows it.
bool ReadGroupNote(PartCompiler& m, int slot, const std::string& text, size_t at, size_t& pos,
                   int64_t octave, int notes, Group& g) {
  if (notes == 2) {
    return m.FailPart(slot, sm::kGlideBadGroup);
  }
  int64_t written = Semitone(static_cast<uint8_t>(text[at]));
  for (uint8_t a = ByteAt(text, pos); a == '-' || a == '+' || a == '#'; a = ByteAt(text, pos)) {
    written += a == '-' ? -1 : 1;
    ++pos;
  }
  if (notes == 0) {
    g.written1 = written;
  }
  const int64_t number =
      written + 12 * (octave + 1) + m.slots[slot].detune / 16 + m.slots[slot].transpose;
  const uint8_t after = ByteAt(text, pos);
  if (after == '*' || after == '%' || after == '.' || IsDigit(after)) {
    return m.FailPart(slot, sm::kGlideBadGroup);
  }
  (notes == 0 ? g.from : g.to) = number;
  (notes == 0 ? g.note1 : g.note2) = std::string_view(text).substr(at, pos - at);
  return true;
}

// Reads "O" [+ or -] n (the "O" already stepped over) into `octave`.
bool ReadGroupOctave(PartCompiler& m, int slot, const std::string& text, size_t& pos,
                     int64_t& octave) {
  const uint8_t sign = ByteAt(text, pos);
  if (sign == '+' || sign == '-') {
    ++pos;
  }
  const int n = ReadNumber(text, pos);
  if (n < 0) {
    return m.FailPart(slot, sm::kOctaveMissing);
  }
  ++pos;
  octave = sign == '-' ? -int64_t{n} : n;
  return true;
}

// A byte that has no place in a group; the end of the text reads as byte 0, which, like a zero
// byte in the text, is not put into the message.
bool FailUnusableByte(PartCompiler& m, int slot, uint8_t c) {
  const std::string byte = c == 0 ? std::string() : std::string(1, static_cast<char>(c));
  return m.Fail(m.PartLabel(slot) + Sjis(sm::kGlideByteHead) + byte + Sjis(sm::kGlideByteTail));
}

// Reads the group from `pos` (after "(") up to and including ")".
bool ScanGroup(PartCompiler& m, int slot, const std::string& text, size_t& pos, Group& g) {
  int64_t octave = m.slots[slot].octave;
  int notes = 0;
  bool separated = false;
  for (;;) {
    if (pos >= text.size()) {
      return FailUnusableByte(m, slot, 0);
    }
    const size_t at = pos;
    const uint8_t c = static_cast<uint8_t>(text[pos++]);
    switch (c) {
      case 'A':
      case 'B':
      case 'C':
      case 'D':
      case 'E':
      case 'F':
      case 'G':
        if (!ReadGroupNote(m, slot, text, at, pos, octave, notes, g)) {
          return false;
        }
        ++notes;
        break;
      case 'O':
        if (!ReadGroupOctave(m, slot, text, pos, octave)) {
          return false;
        }
        g.marks[notes].append(text, at, pos - at);
        break;
      case '<':
      case '>':
        // "@A" may swap the two marks, as for the sequence step.
        octave += ((c == '>') == (m.score.voices.optionA == 1)) ? 1 : -1;
        g.marks[notes] += static_cast<char>(c);
        break;
      case ',':
      case '_':
        if (notes != 1 || separated) {
          return m.FailPart(slot,
                            c == ',' ? sm::kGlideCommaMisplaced : sm::kGlideUnderscoreMisplaced);
        }
        separated = true;
        g.semitone = g.semitone || c == '_';
        break;
      case ')':
        return notes == 2 || m.FailPart(slot, sm::kGlideBadGroup);
      case 'R':
        return m.FailPart(slot, sm::kGlideRest);
      case '(':
        return m.FailPart(slot, sm::kGlideNested);
      default:
        return FailUnusableByte(m, slot, c);
    }
  }
}

// Reads "," a ["," b ["," c]] after the length; a value not written stays -1.
bool ReadTransitionValues(PartCompiler& m, int slot, const std::string& text, size_t& pos,
                          int values[3]) {
  for (int i = 0; i < 3 && ByteAt(text, pos) == ','; ++i) {
    ++pos;
    const int n = ReadNumber(text, pos);
    if (n < 0) {
      continue;
    }
    ++pos;
    if (n < 1 || n > 98) {
      return m.FailPart(slot, sm::kGlideValueRange);
    }
    values[i] = n;
  }
  return true;
}

// Fills in a and c from what was written: the three shares make 100, 5 each by default.
void FillTransitionValues(int& a, int b, int& c) {
  const bool hasA = a >= 0;
  const bool hasB = b >= 0;
  const bool hasC = c >= 0;
  if (!hasA && !hasB && !hasC) {
    a = 5;
    c = 5;
  } else if (!hasA && !hasB) {
    a = (100 - c) / 2;
  } else if (!hasA && !hasC) {
    a = (100 - b) / 2;
    c = 100 - b - a;
  } else if (!hasA) {
    a = 100 - b - c;
  } else if (!hasB && !hasC) {
    c = (100 - a) / 2;
  } else if (!hasC) {
    c = 100 - a - b;
  }
}

// The ticks of the whole-tick part of `fine` units, as a chain note is given them.
int64_t Ticks(int64_t fine) { return fine / kTick; }

// The whole ticks of `count` steps of `s` fine units each, the sub-tick rests carried from
// step to step starting with `acc` (under a tick).
int64_t StepTicks(int64_t count, int64_t s, int64_t acc) {
  return count > 0 ? (acc + count * s) / kTick : 0;
}

// The phases of an MA2 glide, fine units: held first note, glide, held second note.
struct GlidePhases {
  int64_t start = 0;
  int64_t glide = 0;
  int64_t endWhole = 0;  // the held second note in whole ticks
};

GlidePhases PhasesOf(int64_t length, int a, int c) {
  GlidePhases p;
  const int64_t end = std::max(length * c / 100, kTick);
  p.start = std::max(length * a / 100 + end % kTick, kTick);
  p.endWhole = end - end % kTick;
  p.glide = length - p.start - p.endWhole;
  return p;
}

// The steps of a chain that the sequence step compiles before one of them fails: a step
// command outside its range fails at the first step, a note that has left the playable range
// at its own step, and the compile stops there. The chain is cut after that step, so a group
// whose notes lie far apart fails where, and with the message that, the whole chain would,
// without writing out steps that can never be compiled. `numberAt(i)` is the note number of
// step i (1-based); `firstNumber` that of the chain's first note.
template <typename NumberAt>
int64_t StepsBeforeFailure(int64_t steps, bool stepValid, int64_t firstNumber, int lowest,
                           NumberAt numberAt, bool& cut) {
  auto playable = [lowest](int64_t number) { return number >= lowest && number <= kHighestNote; };
  cut = true;
  if (!playable(firstNumber)) {
    return 0;
  }
  if (!stepValid && steps > 0) {
    return 1;
  }
  // The step notes move one way, so when the last is playable, all between are.
  if (steps > 0 && playable(numberAt(1)) && playable(numberAt(steps))) {
    cut = false;
    return steps;
  }
  for (int64_t i = 1; i <= steps; ++i) {
    if (!playable(numberAt(i))) {
      return i;
    }
  }
  cut = false;
  return steps;
}

// MA2: quarter-semitone detune steps across the glide phase, the detune restored at the end.
void PlanGlide(const Group& g, const GlidePhases& p, int detune, GlideChain& chain,
               int64_t& carry) {
  const int64_t d = (g.to - g.from) * 16;  // the interval in 1/16 semitone
  int64_t n = d / 4;
  int64_t step = 4;
  int64_t s = p.glide / (std::abs(n) - 2);
  if (s < kTick) {
    // Steps shorter than a tick: one tick each, fewer and larger.
    n = (d < 0 ? -1 : 1) * (p.glide / kTick);
    s = kTick;
    step = d / n;
  }
  const int64_t signedStep = n >= 0 ? step : -step;
  const int64_t base = g.from - detune / 16;
  chain.step = GlideChain::Step::kDetune;
  chain.stepUp = n >= 0;
  chain.stepValue = step;
  chain.steps = StepsBeforeFailure(
      std::abs(n) - 2, step >= 1 && step <= 512, g.from, kMa2LowestNote,
      [&](int64_t i) { return base + (detune + i * signedStep) / 16; }, chain.cut);
  chain.firstTicks = Ticks(p.start);
  chain.stepLength = s;
  chain.acc = 0;
  if (chain.cut) {
    return;
  }
  const int64_t used = StepTicks(chain.steps, s, 0);
  const int64_t rest = p.glide - used * kTick + p.endWhole + p.start % kTick;
  chain.restore = detune;
  chain.lastTicks = Ticks(rest);
  carry = rest % kTick;
}

// MA1 or "_": a chromatic run of key shifts over the whole length, the key restored at the end.
void PlanRun(const Group& g, int64_t length, int transpose, int lowest, GlideChain& chain,
             int64_t& carry) {
  const int64_t interval = g.to - g.from;
  int64_t n = interval / 3;
  int64_t step = 3;
  if (n < 2) {
    step = std::max<int64_t>(std::abs(n), 1);
    n = interval / step;
  }
  int64_t s = length / std::max<int64_t>(std::abs(n), 2);
  if (s < kTick) {
    n = (n < 0 ? -1 : 1) * (length / kTick);
    s = kTick;
    step = interval / n;
  }
  const int64_t signedStep = n >= 0 ? step : -step;
  chain.step = GlideChain::Step::kKey;
  chain.stepUp = n >= 0;
  chain.stepValue = step;
  chain.steps = StepsBeforeFailure(
      std::abs(n) - 2, step >= 1 && step <= 127, g.from, lowest,
      [&](int64_t i) { return g.from + i * signedStep; }, chain.cut);
  chain.firstTicks = Ticks(s);
  chain.stepLength = s;
  chain.acc = s % kTick;
  if (chain.cut) {
    return;
  }
  const int64_t used = s / kTick + StepTicks(chain.steps, s, s % kTick);
  const int64_t rest = length - used * kTick;
  chain.restore = transpose;
  chain.lastTicks = Ticks(rest);
  carry = rest % kTick;
}

}  // namespace

bool PartCompiler::CompilePortamento(int slot, std::string& text, size_t& cursor, int64_t& time) {
  (void)time;  // the group makes no events; the chain it plans is timed by the step
  const size_t groupStart = cursor - 1;
  size_t pos = cursor;
  // The slot's chain is planned in place (it sounds none while a group is read).
  GlideChain& chain = slots[slot].glide;
  static_cast<GlidePlan&>(chain) = GlidePlan{};
  for (std::string& marks : chain.marks) {
    marks.clear();
  }
  Group g;
  g.marks = chain.marks;
  if (!ScanGroup(*this, slot, text, pos, g)) {
    return false;
  }

  // The length as for a note: the omitted value is the tuplet member or the default length.
  int64_t omitted = ScaleByTempo(slots[slot].defaultLength, tempoFactor);
  if (slots[slot].tupletOpen) {
    const int64_t member = slots[slot].tupletNoteLength;
    omitted = member < 0 ? -member : ScaleByTempo(member, tempoFactor);
  }
  const LengthResult length = ReadLength(text, pos, omitted, tempoFactor);
  if (length.fault != LengthFault::kNone) {
    return FailPart(slot,
                    std::string(sm::kLengthFaultHead) + std::string(LengthFaultText(length.fault)));
  }
  const int64_t L = length.length;
  int values[3] = {-1, -1, -1};
  if (!ReadTransitionValues(*this, slot, text, pos, values)) {
    return false;
  }
  int a = values[0];
  int c = values[2];
  FillTransitionValues(a, values[1], c);

  chain.note1 = g.note1;
  chain.note2 = g.note2;
  chain.written1 = g.written1;
  if (g.from == g.to) {
    // No glide: one note over the whole length; the octave marks still apply after it.
    chain.single = true;
    chain.firstTicks = Ticks(L);
  } else if (format == kFormatMa2 && !g.semitone) {
    if (a + c >= 100) {
      return FailPart(slot, sm::kGlideValueSum);
    }
    const GlidePhases phases = PhasesOf(L, a, c);
    if (phases.glide < kTick) {
      return FailPart(slot, sm::kGlideTooShort);
    }
    PlanGlide(g, phases, slots[slot].detune, chain, slots[slot].carryLength);
  } else {
    if (L < kTick) {
      return FailPart(slot, sm::kGlideTooShort);
    }
    const int lowest = format == kFormatMa1 ? kMa1LowestNote : kMa2LowestNote;
    PlanRun(g, L, slots[slot].transpose, lowest, chain, slots[slot].carryLength);
  }
  // The step sounds the chain from here on; the part text goes on after the group.
  chain.active = true;
  chain.groupStart = groupStart;
  cursor = pos;
  return true;
}
