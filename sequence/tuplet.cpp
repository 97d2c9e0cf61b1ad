// Tuplet groups of a sequence part: "{" members "}" length. The members share the length
// written after "}" equally; the step compiles them as notes and rests written without one.

#include <string_view>

#include "core/bytes.h"
#include "core/messages.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"
#include "sequence/step_support.h"

namespace sm = messages::sequence;

namespace {

void SkipDigits(const std::string& text, size_t& p) {
  while (IsDigit(ByteAt(text, p))) {
    ++p;
  }
}

// Steps over one byte at `p` if it is one of `marks`.
void SkipOneOf(const std::string& text, size_t& p, std::string_view marks) {
  uint8_t c = ByteAt(text, p);
  if (c != 0 && marks.find(static_cast<char>(c)) != std::string_view::npos) {
    ++p;
  }
}

// Checks the "@" command at `p` (after the "@") and steps over it.
bool SkipAtCommand(PartCompiler& mc, int slot, const std::string& text, size_t& p) {
  if (IsDigit(ByteAt(text, p))) {
    SkipDigits(text, p);
    return true;
  }
  uint8_t sub = ByteAt(text, p);
  ++p;
  switch (sub) {
    case 'K':
      SkipOneOf(text, p, "+-_~");
      break;
    case 'V':
      SkipOneOf(text, p, "~_");
      break;
    case 'M':
    case 'O':
    case 'P':
    case 'X':
      break;
    default:
      return FailWithByte(mc, slot, sm::kAtByteHead, sub, sm::kUnusableTail);
  }
  SkipDigits(text, p);
  return true;
}

bool IsMemberLetter(uint8_t c) { return c >= 'A' && c <= 'G'; }

// Checks one byte of the group at `p - 1` and steps over its arguments. Members add to `count`.
bool CheckGroupByte(PartCompiler& mc, int slot, uint8_t c, const std::string& text, size_t& p,
                    int64_t& count) {
  if (IsMemberLetter(c) || c == 'R') {
    size_t after = p;  // the byte after the letter, shown when the member carries a length
    if (c != 'R') {
      SkipOneOf(text, p, "#+-");
    }
    if (IsDigit(ByteAt(text, p))) {
      uint8_t shown = c == 'R' ? c : ByteAt(text, after);
      return FailWithByte(mc, slot, sm::kByteHead, shown, sm::kMemberLengthTail);
    }
    ++count;
    return true;
  }
  switch (c) {
    case 'K':
    case 'O':
    case 'P':
    case 'Q':
    case 'V':
    case 'X':
      SkipOneOf(text, p, "+-");
      SkipDigits(text, p);
      return true;
    case '@':
      return SkipAtCommand(mc, slot, text, p);
    case '&':
    case '<':
    case '>':
      return true;
    case '(':
    case ')':
    case 'L':
    case 'T':
      return FailWithByte(mc, slot, sm::kInTupletHead, c, sm::kUnusableTail);
    case '.':
    case '^':
      return FailWithByte(mc, slot, sm::kMemberMarkHead, c, sm::kMemberMarkTail);
    case '{':
      return mc.FailPart(slot, sm::kTupletNested);
    default:
      return FailWithByte(mc, slot, sm::kByteHead, c, sm::kUnusableTail);
  }
}

}  // namespace

bool PartCompiler::BeginTuplet(int slot, const std::string& text, size_t start) {
  int64_t count = 0;
  size_t p = start;
  for (;;) {
    if (p >= text.size()) {
      return FailPart(slot, sm::kTupletUnclosed);
    }
    const size_t at = p;
    uint8_t c = ByteAt(text, p);
    ++p;
    if (c == '}') {
      break;
    }
    if (!CheckGroupByte(*this, slot, c, text, p, count)) {
      faultFrom = faultTo = at;  // the member or command inside the group
      return false;
    }
  }
  if (count == 0) {
    return FailPart(slot, sm::kTupletEmpty);
  }
  // The group length, at the tempo in force where the group opens.
  const size_t lengthAt = p;
  LengthResult total =
      ReadLength(text, p, ScaleByTempo(slots[slot].defaultLength, tempoFactor), tempoFactor);
  if (total.fault != LengthFault::kNone) {
    faultFrom = lengthAt;
    faultTo = p;
    return FailLength(*this, slot, total.fault);
  }
  // Each member gets an equal share; the remainder, under `count` fine units, is dropped.
  slots[slot].tupletNoteLength = -(total.length / count);
  return true;
}
