// Tuplets of the ADPCM part: "{" notes "}" length plays its notes in equal shares of the
// length. The scan checks the group, counts its notes and rests, and stores the length of
// one of them, negated (already scaled by the tempo), for the step to use.

#include "core/bytes.h"
#include "core/messages.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"

namespace {

namespace adpcm_msg = messages::adpcm;
using adpcm_msg::Message;

void SkipDigits(const std::string& text, size_t& pos) {
  while (IsDigit(ByteAt(text, pos))) {
    ++pos;
  }
}

// Checks one byte `c` of the group (already stepped over) other than "}". Counts notes.
bool GroupByte(PartCompiler& m, const std::string& text, size_t& pos, uint8_t c, int& count) {
  const char byte = static_cast<char>(c);
  if ((c >= 'A' && c <= 'J') || c == 'R') {
    if (IsDigit(ByteAt(text, pos))) {
      return m.Fail(Message(adpcm_msg::kMemberLength, byte));
    }
    ++count;
    return true;
  }
  switch (c) {
    case '&':
      return true;
    case 'Q':
    case 'V':
      if (ByteAt(text, pos) == '+' || ByteAt(text, pos) == '-') {
        ++pos;
      }
      SkipDigits(text, pos);
      return true;
    case '@': {
      uint8_t x = ByteAt(text, pos);
      if (IsDigit(x) || pos >= text.size()) {
        return m.Fail(Message(adpcm_msg::kVoiceCannotUse));
      }
      ++pos;
      if (x != 'V') {
        return m.Fail(Message(adpcm_msg::kAtCannotUse, static_cast<char>(x)));
      }
      if (ByteAt(text, pos) == '~' || ByteAt(text, pos) == '_') {
        ++pos;
      }
      SkipDigits(text, pos);
      return true;
    }
    case 'L':
    case 'T':
      return m.Fail(Message(adpcm_msg::kNotInTuplet, byte));
    case '.':
    case '^':
      return m.Fail(Message(adpcm_msg::kNotOnMember, byte));
    case '{':
      return m.Fail(Message(adpcm_msg::kNested));
    default:
      return m.Fail(Message(adpcm_msg::kCannotUse, byte));
  }
}

}  // namespace

bool PartCompiler::ScanAdpcmTuplet(const std::string& text, size_t pos) {
  int count = 0;
  for (;;) {
    if (pos >= text.size()) {
      return Fail(Message(adpcm_msg::kNoCloseBrace));
    }
    uint8_t c = static_cast<uint8_t>(text[pos++]);
    if (c == '}') {
      break;
    }
    if (!GroupByte(*this, text, pos, c, count)) {
      return false;
    }
  }
  if (count == 0) {
    return Fail(Message(adpcm_msg::kEmptyTuplet));
  }
  // The group length: its first value's faults name the "}", those after a "^" do not.
  LengthResult r = ReadLength(text, pos, ScaleByTempo(slots[kAdpcmSlot].defaultLength, tempoFactor),
                              tempoFactor);
  if (r.fault != LengthFault::kNone) {
    std::string tail(LengthFaultText(r.fault));
    return Fail(Message(r.faultInTie ? tail : std::string(adpcm_msg::kGroupLength) + tail));
  }
  slots[kAdpcmSlot].tupletNoteLength = -(r.length / count);
  return true;
}
