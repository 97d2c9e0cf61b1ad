// The state commands of a sequence part: everything but notes and rests. Each handler starts
// with the cursor on the command's argument and leaves it on the first byte after it.

#include <algorithm>
#include <limits>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/text_functions.h"
#include "sequence/step_support.h"

namespace sm = messages::sequence;

namespace {

bool InRange(int n, int low, int high) { return n >= low && n <= high; }

bool IsMa2(const PartCompiler& mc) { return mc.format == kFormatMa2; }

// Steps over a "+" or "-" at the cursor; true for "-".
bool ReadSign(const std::string& text, size_t& cursor) {
  uint8_t c = ByteAt(text, cursor);
  if (c == '+' || c == '-') {
    ++cursor;
  }
  return c == '-';
}

// Steps over a "~" (returns 1) or "_" (returns -1) at the cursor; 0 when neither stands there.
int ReadRelativeMark(const std::string& text, size_t& cursor) {
  uint8_t c = ByteAt(text, cursor);
  if (c != '~' && c != '_') {
    return 0;
  }
  ++cursor;
  return c == '~' ? 1 : -1;
}

// MA2 sets the volume at the slot time, every time. MA1 keeps the first volume of a channel,
// at time 0, and ignores the later ones.
void EmitVolume(PartCompiler& mc, int slot, int volume, int64_t time) {
  if (IsMa2(mc)) {
    EmitEvent(mc, slot, TicksOf(time), EV_VOLUME, {volume});
  } else if (mc.slots[slot].channelVolume == -1) {
    EmitEvent(mc, slot, 0, EV_VOLUME, {volume});
  } else {
    return;
  }
  mc.slots[slot].channelVolume = volume;
}

// Voice selection; the same first-one-wins rule as the volume in MA1. The MA2 rhythm part
// in slot 9 keeps its voice.
void SelectVoice(PartCompiler& mc, int slot, int voice, int64_t time) {
  int bank = mc.score.fourOpPart[slot];
  int64_t tick = 0;
  if (IsMa2(mc)) {
    if (slot == 9 && mc.score.rhythmPart) {
      return;
    }
    tick = TicksOf(time);
  } else if (mc.slots[slot].channelVoice != -1) {
    return;
  }
  EmitEvent(mc, slot, tick, EV_VOICE, {voice, bank});
  mc.tracks.usedVoices.push_back(bank * 256 + voice);
  mc.slots[slot].channelVoice = voice;
}

bool CompileTempo(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  // The scheduler's tempo scan has already applied the value; only check it here.
  int n = ReadArgument(text, cursor);
  if (n < 0) {
    return mc.FailPart(slot, sm::kTempoMissing);
  }
  if (n == 0) {
    return mc.FailPart(slot, sm::kTempoZero);
  }
  return true;
}

bool CompileDefaultLength(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  int n = ReadArgument(text, cursor);
  if (n < 0) {
    return mc.FailPart(slot, sm::kLengthMissing);
  }
  if (n == 0) {
    return mc.FailPart(slot, sm::kLengthZero);
  }
  mc.slots[slot].defaultLength = 1280000 / n;
  return true;
}

bool CompileOctave(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  bool negative = ReadSign(text, cursor);
  int n = ReadArgument(text, cursor);
  if (n < 0) {
    return mc.FailPart(slot, sm::kOctaveMissing);
  }
  mc.slots[slot].octave = negative ? -n : n;
  return true;
}

// "<" and ">"; the voice part's "@A" decides which of them lowers the octave.
void ShiftOctave(PartCompiler& mc, int slot, uint8_t command) {
  bool lower = (command == '<') == (mc.score.voices.optionA == 1);
  mc.slots[slot].octave = Saturated(int64_t{mc.slots[slot].octave} + (lower ? -1 : 1));
}

bool CompileVolume(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                   int64_t time) {
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 0, 15)) {
    return mc.FailPart(slot, sm::kVolume);
  }
  EmitVolume(mc, slot, n == 0 ? 0 : n * 8 + 7, time);
  return true;
}

bool CompilePan(PartCompiler& mc, int slot, const std::string& text, size_t& cursor, int64_t time) {
  static constexpr int kPans[] = {0, 127, 64};
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 1, 3)) {
    return mc.FailPart(slot, sm::kPan);
  }
  if (IsMa2(mc)) {
    EmitEvent(mc, slot, TicksOf(time), EV_PAN, {kPans[n - 1]});
  }
  return true;
}

bool CompileExpression(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                       int64_t time) {
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 1, 15)) {
    return mc.FailPart(slot, sm::kExpression);
  }
  if (IsMa2(mc)) {
    // The compact form has 14 steps: X1 and X2 both give 1.
    EmitEvent(mc, slot, TicksOf(time), EV_EXPRESSION, {std::max(n - 1, 1), 1});
  }
  return true;
}

bool CompileGate(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 1, 8)) {
    return mc.FailPart(slot, sm::kGate);
  }
  mc.slots[slot].gate = n;
  return true;
}

bool CompileTranspose(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  int direction = ReadRelativeMark(text, cursor);
  if (direction != 0) {
    int n = ReadArgument(text, cursor);
    if (!InRange(n, 1, 127)) {
      return mc.FailPart(slot, direction > 0 ? sm::kKeyUp : sm::kKeyDown);
    }
    mc.slots[slot].transpose = Saturated(mc.slots[slot].transpose + int64_t{direction} * n);
    return true;
  }
  bool negative = ReadSign(text, cursor);
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 0, 127)) {
    return mc.FailPart(slot, sm::kKey);
  }
  mc.slots[slot].transpose = negative ? -n : n;
  return true;
}

bool CompileRhythmMark(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  // The part splitter has placed the part; the value is only checked.
  if (ReadArgument(text, cursor) != 10) {
    return mc.FailPart(slot, sm::kRhythmPart);
  }
  return true;
}

bool CompileTupletOpen(PartCompiler& mc, int slot, const std::string& text, size_t cursor) {
  if (mc.slots[slot].tupletOpen != 0) {
    return mc.FailPart(slot, sm::kTupletNested);
  }
  if (!mc.BeginTuplet(slot, text, cursor)) {
    return false;
  }
  mc.slots[slot].tupletOpen = 1;
  return true;
}

bool CompileTupletClose(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  if (mc.slots[slot].tupletOpen == 0) {
    return mc.FailPart(slot, sm::kTupletUnopened);
  }
  // The group length was shared among the members when the group opened.
  SkipLength(text, cursor);
  mc.slots[slot].tupletOpen = 0;
  return true;
}

bool CompileAtCommand(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                      int64_t time);

}  // namespace

bool CompileStateCommand(PartCompiler& mc, int slot, uint8_t command, std::string& text,
                         size_t& cursor, int64_t& time) {
  switch (command) {
    case 'T':
      return CompileTempo(mc, slot, text, cursor);
    case 'L':
      return CompileDefaultLength(mc, slot, text, cursor);
    case 'O':
      return CompileOctave(mc, slot, text, cursor);
    case '<':
    case '>':
      ShiftOctave(mc, slot, command);
      return true;
    case 'V':
      return CompileVolume(mc, slot, text, cursor, time);
    case 'P':
      return CompilePan(mc, slot, text, cursor, time);
    case 'X':
      return CompileExpression(mc, slot, text, cursor, time);
    case 'Q':
      return CompileGate(mc, slot, text, cursor);
    case 'K':
      return CompileTranspose(mc, slot, text, cursor);
    case 'N':
      return CompileRhythmMark(mc, slot, text, cursor);
    case '@':
      return CompileAtCommand(mc, slot, text, cursor, time);
    case '{':
      return CompileTupletOpen(mc, slot, text, cursor);
    case '}':
      return CompileTupletClose(mc, slot, text, cursor);
    case '(':
      // The group is rewritten into plain commands at the cursor; earlier scans of the text
      // no longer hold.
      mc.slots[slot].plainChainUntil = 0;
      return mc.CompilePortamento(slot, text, cursor, time);
    case ')':
      return mc.FailPart(slot, sm::kPortamentoUnopened);
    case '&':
      return true;  // slurs are read after each note
    case '#':
    case '%':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
      return FailWithByte(mc, slot, sm::kByteHead, command, sm::kMisusedTail);
    default:
      return FailWithByte(mc, slot, sm::kByteHead, command, sm::kUnusableTail);
  }
}

// ---- "@" commands ---------------------------------------------------------------------------
namespace {

bool CompileVoice(PartCompiler& mc, int slot, int voice, int64_t time) {
  if (IsMa2(mc)) {
    if (!InRange(voice, 0, 127) && !InRange(voice, 152, 212)) {
      return mc.FailPart(slot, sm::kVoiceMa2);
    }
  } else if (!InRange(voice, 0, 127)) {
    return mc.FailPart(slot, sm::kVoiceMa1);
  }
  SelectVoice(mc, slot, voice, time);
  return true;
}

bool CompileFineVolume(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                       int64_t time) {
  int direction = ReadRelativeMark(text, cursor);
  int n = ReadArgument(text, cursor);
  if (direction == 0) {
    if (!InRange(n, 0, 127)) {
      return mc.FailPart(slot, sm::kFineVolume);
    }
    EmitVolume(mc, slot, n, time);
    return true;
  }
  if (n >= 0 && !InRange(n, 1, 126)) {
    return mc.FailPart(slot, direction > 0 ? sm::kVolumeUp : sm::kVolumeDown);
  }
  // MA2 moves from the last volume (-1 when none was set); MA1 takes the step as the volume.
  int volume =
      IsMa2(mc) ? mc.slots[slot].channelVolume + direction * (n < 0 ? 1 : n) : std::max(n, 0);
  EmitVolume(mc, slot, std::clamp(volume, 0, 127), time);
  return true;
}

bool CompileDetune(PartCompiler& mc, int slot, const std::string& text, size_t& cursor) {
  int direction = ReadRelativeMark(text, cursor);
  if (direction != 0) {
    int n = ReadArgument(text, cursor);
    if (n >= 0 && !InRange(n, 1, 512)) {
      return mc.FailPart(slot, direction > 0 ? sm::kDetuneUp : sm::kDetuneDown);
    }
    if (IsMa2(mc)) {
      int64_t step = direction * int64_t{n < 0 ? 1 : n};
      mc.slots[slot].detune = Saturated(mc.slots[slot].detune + step);
    }
    return true;
  }
  bool negative = ReadSign(text, cursor);
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 0, 512)) {
    return mc.FailPart(slot, sm::kDetune);
  }
  if (IsMa2(mc)) {
    mc.slots[slot].detune = negative ? -n : n;
  }
  return true;
}

// "@P", "@X", "@M": a value 0-127 each.
bool CompileFineControl(PartCompiler& mc, int slot, uint8_t sub, const std::string& text,
                        size_t& cursor, int64_t time) {
  int n = ReadArgument(text, cursor);
  if (!InRange(n, 0, 127)) {
    return mc.FailPart(slot, sub == 'P'   ? sm::kFinePan
                             : sub == 'X' ? sm::kFineExpression
                                          : sm::kModulation);
  }
  int64_t tick = TicksOf(time);
  if (sub == 'M') {
    if (!IsMa2(mc)) {
      EmitEvent(mc, slot, tick, EV_MODULATION, {n, 0});
      return true;
    }
    // MA2 writes the compact depth 1-14.
    int depth = n >= 1 ? (n + 1) / 8 - 1 : 0;
    EmitEvent(mc, slot, tick, EV_MODULATION, {std::clamp(depth, 1, 14), 1});
  } else if (IsMa2(mc)) {
    EmitEvent(mc, slot, tick, sub == 'P' ? EV_PAN : EV_EXPRESSION,
              sub == 'P' ? EventParams{n} : EventParams{n, 0});
  }
  return true;
}

bool CompileAtCommand(PartCompiler& mc, int slot, const std::string& text, size_t& cursor,
                      int64_t time) {
  // A number right after "@" selects a voice; otherwise the next byte names a sub-command.
  int voice = ReadArgument(text, cursor);
  if (voice >= 0) {
    return CompileVoice(mc, slot, voice, time);
  }
  uint8_t sub = ByteAt(text, cursor);
  ++cursor;
  switch (sub) {
    case 'V':
      return CompileFineVolume(mc, slot, text, cursor, time);
    case 'K':
      return CompileDetune(mc, slot, text, cursor);
    case 'P':
    case 'X':
    case 'M':
      return CompileFineControl(mc, slot, sub, text, cursor, time);
    case 'O': {
      // The part splitter has used the operator count; the value is only checked.
      int n = ReadArgument(text, cursor);
      if (n != 2 && n != 4) {
        return mc.FailPart(slot, sm::kOperators);
      }
      return true;
    }
    default:
      return FailWithByte(mc, slot, sm::kAtByteHead, sub, sm::kUnusableTail);
  }
}

}  // namespace
