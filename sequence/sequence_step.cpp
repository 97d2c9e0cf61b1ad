// One step of a sequence part: the state commands up to the next note or rest, then that
// note or rest. The scheduler calls it whenever the slot's time is the earliest.

#include <algorithm>
#include <cassert>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/text_functions.h"
#include "sequence/glide_chain.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"
#include "sequence/step_support.h"

namespace sm = messages::sequence;

namespace {

bool IsNoteLetter(uint8_t c) { return c >= 'A' && c <= 'G'; }

constexpr int64_t kChainTick = 10000;  // fine units per "*" tick

// MA2 gives a part that starts without "@" or "V" the default voice and volume at time 0,
// even when its first note comes later. The rhythm part keeps its own voice.
void EmitMa2DefaultsNow(PartCompiler& mc, int slot) {
  if (mc.slots[slot].channelVoice == -1 && !(slot == 9 && mc.score.rhythmPart)) {
    int bank = mc.score.fourOpPart[slot];
    mc.tracks.usedVoices.push_back(bank * 256);
    EmitEvent(mc, slot, 0, EV_VOICE, {0, bank});
    mc.slots[slot].channelVoice = bank * 256;
  }
  if (mc.slots[slot].channelVolume == -1) {
    EmitEvent(mc, slot, 0, EV_VOLUME, {96});
    mc.slots[slot].channelVolume = 96;
  }
}

// Every note of a part asks; once both are set, the answer is no.
inline void EmitMa2Defaults(PartCompiler& mc, int slot) {
  if (mc.format == kFormatMa2 &&
      (mc.slots[slot].channelVoice == -1 || mc.slots[slot].channelVolume == -1)) {
    EmitMa2DefaultsNow(mc, slot);
  }
}

// Steps over the accidentals after the letter and returns the note number, which may lie far
// outside the playable range (huge octaves or key shifts).
int64_t ReadNoteNumber(const PartCompiler& mc, int slot, uint8_t letter, std::string_view text,
                       size_t& cursor) {
  static constexpr int kSemitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  int64_t number = kSemitones[letter - 'A'] + 12 * (int64_t{mc.slots[slot].octave} + 1) +
                   mc.slots[slot].detune / 16;
  for (; cursor < text.size(); ++cursor) {
    const char c = text[cursor];
    if (c != '#' && c != '+' && c != '-') {
      break;
    }
    number += c == '-' ? -1 : 1;
  }
  return number + mc.slots[slot].transpose;
}

bool CheckNoteRange(PartCompiler& mc, int slot, int64_t number, std::string_view name) {
  bool ma2 = mc.format == kFormatMa2;
  if (number < (ma2 ? kMa2LowestNote : kMa1LowestNote)) {
    return FailWithText(mc, slot, sm::kByteHead, name, sm::kBelowRangeTail);
  }
  if (number > kHighestNote) {
    return FailWithText(mc, slot, sm::kByteHead, name, sm::kAboveRangeTail);
  }
  if (!ma2) {
    // The range report of MA1 compiles shows each channel's compass.
    int n = static_cast<int>(number);
    mc.slots[slot].noteHigh = std::max(mc.slots[slot].noteHigh, n);
    mc.slots[slot].noteLow = std::min(mc.slots[slot].noteLow, n);
  }
  return true;
}

// The note of `number` (checked), lasting `length` fine units and the carried rest: frequency
// mode when detuned, in a legato chain or when `needsFrequency` finds a glide ahead in its slur
// chain (MA2 only), normal mode otherwise. Fails only in frequency mode, for a pitch under the
// lowest block.
bool SoundNote(PartCompiler& mc, int slot, int64_t number, int64_t length, bool slurred,
               std::string_view name, FrequencyScan needsFrequency, const std::string& text,
               size_t cursor, int64_t& time) {
  SequenceNote note;
  note.number = static_cast<int>(number);
  // A portamento hands its sub-tick rest to the next note compiled.
  note.length = length + mc.slots[slot].carryLength;
  mc.slots[slot].carryLength = 0;
  note.slurred = slurred;
  // Detune, a legato chain or a glide ahead in the slur chain need frequency mode (MA2 only).
  const bool frequency =
      mc.format == kFormatMa2 && (mc.slots[slot].detune != 0 || mc.slots[slot].legatoPending != 0 ||
                                  (note.slurred && needsFrequency(mc, slot, text, cursor)));
  if (frequency) {
    return EmitFrequencyNote(mc, slot, note, name, time);
  }
  EmitNormalNote(mc, slot, note, time);
  return true;
}

bool CompileNote(PartCompiler& mc, int slot, uint8_t letter, const std::string& text,
                 size_t& cursor, int64_t& time) {
  const size_t letterAt = cursor - 1;
  mc.tracks.partUsed[slot] = 1;
  EmitMa2Defaults(mc, slot);
  const int64_t number = ReadNoteNumber(mc, slot, letter, text, cursor);
  // The note as written, letter and accidentals, for the messages.
  const std::string_view name = std::string_view(text).substr(letterAt, cursor - letterAt);
  if (!CheckNoteRange(mc, slot, number, name)) {
    return false;
  }

  LengthResult read = ReadLength(text, cursor, OmittedLength(mc, slot), mc.tempoFactor);
  if (read.fault != LengthFault::kNone) {
    return FailLength(mc, slot, read.fault);
  }
  const NoteLookAhead ahead = LookAhead(text, cursor);
  const bool slurred = ahead.slurred;
  const size_t after = cursor;
  if (!ahead.tempo) {
    // The next step starts here or after the "&": the scheduler's tempo scan can be spared.
    mc.slots[slot].tempoFreeFrom = cursor;
    mc.slots[slot].tempoFreeUntil = ahead.next + 1;
  }
  if (ByteAt(text, cursor) == '&') {
    ++cursor;
  }
  if (!SoundNote(mc, slot, number, read.length, slurred, name, ChainNeedsFrequency, text, after,
                 time)) {
    // The pitch is at fault, not the length that the cursor has passed.
    mc.faultFrom = mc.faultTo = letterAt;
    return false;
  }
  return true;
}

// A rest only moves the slot time: held notes and slurs stay as they are.
bool CompileRest(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                 int64_t& time) {
  LengthResult read = ReadLength(text, cursor, OmittedLength(mc, slot), mc.tempoFactor);
  if (read.fault != LengthFault::kNone) {
    return FailLength(mc, slot, read.fault);
  }
  time = AdvanceTime(time, read.length);
  return true;
}

}  // namespace

// SlurChainNeedsFrequency for the slot, remembering where a scan found none: every later note
// of that stretch would scan the same bytes to the same answer, which made long "&" chains
// quadratic.
bool ChainNeedsFrequency(PartCompiler& mc, int slot, const std::string& text, size_t position) {
  if (position <= mc.slots[slot].plainChainUntil) {
    return false;
  }
  size_t stop = 0;
  if (SlurChainNeedsFrequency(text, position, stop)) {
    return true;
  }
  mc.slots[slot].plainChainUntil = stop;
  return false;
}

bool CompileChainNote(PartCompiler& mc, int slot, const std::string& written, int64_t ticks,
                      bool slurred, FrequencyScan needsFrequency, const std::string& text,
                      size_t cursor, size_t* tail, int64_t& time) {
  mc.tracks.partUsed[slot] = 1;
  EmitMa2Defaults(mc, slot);
  size_t at = 1;
  const int64_t number = ReadNoteNumber(mc, slot, static_cast<uint8_t>(written[0]), written, at);
  const std::string_view name = written;  // nothing but the letter and its accidentals
  if (!CheckNoteRange(mc, slot, number, name)) {
    return false;
  }
  // "*0" and a negative count read as such.
  if (ticks <= 0) {
    return FailLength(mc, slot, ticks == 0 ? LengthFault::kTicksZero : LengthFault::kTicksMissing);
  }
  static const std::string kNothing;
  size_t none = 0;
  size_t& reading = tail != nullptr ? *tail : none;
  constexpr int64_t kLargestNumber = 2147483647;
  LengthResult read;
  if (tail == nullptr && ticks <= kLargestNumber) {
    read.length = ticks * kChainTick;  // one "*" value, nothing read after it
  } else {
    read = ReadTicksLength(ticks, tail != nullptr ? text : kNothing, reading,
                           OmittedLength(mc, slot), mc.tempoFactor);
  }
  if (read.fault != LengthFault::kNone) {
    // A value of the text at fault is placed there, like that of a note written in the text.
    size_t digits = reading;
    while (digits > cursor && IsDigit(text[digits - 1])) {
      --digits;
    }
    if (digits < reading) {
      mc.faultFrom = mc.faultTo = digits;
    }
    return FailLength(mc, slot, read.fault);
  }
  if (tail != nullptr) {
    cursor = *tail;
    slurred = IsSlurred(text, cursor);
    if (ByteAt(text, *tail) == '&') {
      ++*tail;
    }
  }
  return SoundNote(mc, slot, number, read.length, slurred, name, needsFrequency, text, cursor,
                   time);
}

bool PartCompiler::CompileSequenceStep(int slot, std::string& text, size_t& cursor, int64_t& time) {
  assert(!slots[slot].glide.active);
  for (;;) {
    const size_t start = cursor;
    uint8_t c = ByteAt(text, cursor);
    ++cursor;
    if (IsNoteLetter(c)) {
      return CompileNote(*this, slot, c, text, cursor, time) ||
             PlaceStepFault(slot, text, start, cursor);
    }
    if (c == 'R') {
      return CompileRest(*this, slot, text, cursor, time) ||
             PlaceStepFault(slot, text, start, cursor);
    }
    if (!CompileStateCommand(*this, slot, c, text, cursor, time)) {
      return PlaceStepFault(slot, text, start, cursor);
    }
    if (slots[slot].glide.active) {
      // A portamento group just planned: its chain's first note ends the step.
      const size_t end = cursor;
      return CompileGlideStep(slot, text, cursor, time) || PlaceStepFault(slot, text, end, end);
    }
    if (cursor >= text.size()) {
      // The part ends after its last command.
      if (slots[slot].tupletOpen != 0) {
        return FailPart(slot, sm::kTupletUnclosed) || PlaceStepFault(slot, text, start, start);
      }
      return true;
    }
  }
}
