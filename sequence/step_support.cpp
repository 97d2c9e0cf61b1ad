#include "sequence/step_support.h"

#include <array>
#include <utility>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "core/text_functions.h"

namespace {

bool IsNoteOrRestLetter(uint8_t c) { return (c >= 'A' && c <= 'G') || c == 'R'; }

// A note or rest letter that starts a note: at the text start or not right after "@".
bool StartsNote(const std::string& text, size_t p) {
  return IsNoteOrRestLetter(ByteAt(text, p)) && (p == 0 || text[p - 1] != '@');
}

}  // namespace

bool FailWithByte(PartCompiler& mc, int slot, std::string_view head, uint8_t byte,
                  std::string_view tail) {
  std::string message = mc.PartLabel(slot) + Sjis(head);
  if (byte != 0) {
    message += static_cast<char>(byte);
  }
  return mc.Fail(message + Sjis(tail));
}

bool FailWithText(PartCompiler& mc, int slot, std::string_view head, std::string_view sjisText,
                  std::string_view tail) {
  return mc.Fail(mc.PartLabel(slot) + Sjis(head) + std::string(sjisText) + Sjis(tail));
}

bool FailLength(PartCompiler& mc, int slot, LengthFault fault) {
  return mc.Fail(mc.PartLabel(slot) + Sjis(messages::sequence::kLengthFaultHead) +
                 Sjis(LengthFaultText(fault)));
}

bool IsSlurred(const std::string& text, size_t position) {
  return LookAhead(text, position).slurred;
}

NoteLookAhead LookAhead(const std::string& text, size_t position) {
  // Each byte is classed by one table look-up; the classes seen are gathered as bits.
  enum : uint8_t { kLetter = 1, kAmp = 2, kTempo = 4 };
  static constexpr std::array<uint8_t, 256> kClass = [] {
    std::array<uint8_t, 256> table{};
    for (int c = 'A'; c <= 'G'; ++c) {
      table[c] = kLetter;
    }
    table['R'] = kLetter;
    table['&'] = kAmp;
    table['T'] = kTempo;
    return table;
  }();
  NoteLookAhead ahead;
  const char* const bytes = text.data();
  uint8_t seen = 0;
  size_t p = position;
  for (; p < text.size(); ++p) {
    const uint8_t cls = kClass[static_cast<uint8_t>(bytes[p])];
    if ((cls & kLetter) != 0 && (p == 0 || bytes[p - 1] != '@')) {
      break;
    }
    seen |= cls;
  }
  ahead.slurred = (seen & kAmp) != 0 && p < text.size();
  ahead.tempo = (seen & kTempo) != 0;
  ahead.next = p;
  return ahead;
}

bool SlurChainNeedsFrequency(const std::string& text, size_t position, size_t& stop) {
  return SlurChainNeedsFrequencyFrom(text, position, false, false, stop);
}

bool SlurChainNeedsFrequencyFrom(const std::string& text, size_t position, bool amp, bool need,
                                 size_t& stop) {
  size_t p = position;
  for (; p < text.size(); ++p) {
    uint8_t c = ByteAt(text, p);
    if (StartsNote(text, p)) {
      if (!amp) {
        break;
      }
      if (need) {
        stop = p;
        return true;
      }
      amp = false;
    } else if (c == '(') {
      need = true;
    } else if (c == 'K' && p > 0 && text[p - 1] == '@') {
      // A detune step inside the chain; "@K0" (also "@K-0") returns to the plain pitch.
      uint8_t next = ByteAt(text, p + 1);
      if (next == '-' || next == '~' || next == '_') {
        ++p;
      }
      if (ByteAt(text, p + 1) != '0') {
        need = true;
      }
    } else if (c == '&') {
      amp = true;
    }
  }
  stop = p;
  return false;
}
