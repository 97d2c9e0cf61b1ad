#ifndef QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_
#define QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_

// Helpers of the sequence tests: compile part texts placed straight into their slots and show
// the resulting events as readable text.

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/compiler.h"
#include "core/seq_event.h"
#include "core/sjis.h"

namespace seqtest {

inline const char* KindName(int type) {
  switch (type) {
    case EV_FREQ_NOTE:
      return "FREQ";
    case EV_NOTE:
      return "NOTE";
    case EV_ADPCM_NOTE:
      return "WAVE";
    case EV_END_OF_TRACK:
      return "END";
    case EV_MODULATION:
      return "MOD";
    case EV_PAN:
      return "PAN";
    case EV_EXPRESSION:
      return "EXPR";
    case EV_VOLUME:
      return "VOL";
    case EV_VOICE:
      return "VOICE";
    default:
      return "?";
  }
}

// "t=0 VOICE[0,0] ch0 | t=0 VOL[96] ch0 | ...", in set order. With `only` given, just the
// events of that kind.
inline std::string Dump(const EventList& list, int only = 0) {
  EventList events = list;
  events.Sort();
  std::string out;
  for (const SeqEvent& e : events) {
    if (only != 0 && e.type != only) {
      continue;
    }
    if (!out.empty()) {
      out += " | ";
    }
    out += "t=" + std::to_string(e.time) + " " + KindName(e.type);
    if (!e.params.empty()) {
      out += "[";
      for (size_t i = 0; i < e.params.size(); ++i) {
        out += (i ? "," : "") + std::to_string(e.params[i]);
      }
      out += "]";
    }
    out += " ch" + std::to_string(e.channel);
  }
  return out;
}

// A part placed in a slot; the slot's name is slot + 1 unless given.
struct Part {
  int slot;
  std::string text;
  std::string name;
};

// Compiles the parts (texts as the splitter leaves them: upper case, no white space). Returns
// the compiler with its events, or its message; `ok` tells which.
struct Compiled {
  std::unique_ptr<CMmlCompiler> mc = std::make_unique<CMmlCompiler>();
  bool ok = false;

  const EventList& Track(int t) const { return mc->m_trackEvents[t]; }
  // The stored message, converted to UTF-8 for reading.
  std::string Message() const { return SjisToUtf8(mc->GetErrorText()); }
};

inline Compiled CompileSlots(int format, const std::vector<Part>& parts,
                             void (*prepare)(CMmlCompiler&) = nullptr) {
  Compiled result;
  CMmlCompiler& mc = *result.mc;
  ResetEventSerial();
  mc.SetFormat(format);
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    mc.m_partName[slot] = std::to_string(slot + 1);
  }
  for (const Part& part : parts) {
    if (part.slot == kAdpcmSlot) {
      mc.m_adpcmPartText = part.text;
      continue;
    }
    mc.m_partText[part.slot] = part.text;
    if (!part.name.empty()) {
      mc.m_partName[part.slot] = part.name;
    }
  }
  if (prepare != nullptr) {
    prepare(mc);
  }
  result.ok = mc.CompileParts();
  return result;
}

// One part in slot 0.
inline Compiled CompileOne(int format, const std::string& text) {
  return CompileSlots(format, {{0, text, ""}});
}

}  // namespace seqtest

#endif  // QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_
