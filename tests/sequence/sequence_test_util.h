#ifndef QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_
#define QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_

// Helpers of the sequence tests: compile part texts placed straight into their slots and show
// the resulting events as readable text.

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/seq_event.h"
#include "core/sjis.h"
#include "sequence/part_compiler.h"

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

// A part compiler with a score of its own, for tests that set its state by hand. The score
// lives on the heap, so a moved compiler keeps it.
struct ScoreBox {
  std::unique_ptr<SplitScore> box;
};
struct TestCompiler : ScoreBox, PartCompiler {
  explicit TestCompiler(int scoreFormat = kFormatMa1)
      : ScoreBox{Boxed(scoreFormat)}, PartCompiler(*box) {}

 private:
  static std::unique_ptr<SplitScore> Boxed(int scoreFormat) {
    auto score = std::make_unique<SplitScore>();
    score->format = scoreFormat;
    return score;
  }
};

// A part placed in a slot; the slot's name is slot + 1 unless given.
struct Part {
  int slot;
  std::string text;
  std::string name;
};

// Compiles the parts (texts as the splitter leaves them: upper case, no white space). Returns
// the compiler with its events, or its message; `ok` tells which.
struct Compiled {
  std::unique_ptr<SplitScore> score = std::make_unique<SplitScore>();
  std::unique_ptr<PartCompiler> mc;
  bool ok = false;

  const EventList& Track(int t) const { return mc->tracks.trackEvents[t]; }
  // The stored message, converted to UTF-8 for reading.
  std::string Message() const { return SjisToUtf8(mc->fault.message); }
};

inline Compiled CompileSlots(int format, const std::vector<Part>& parts,
                             void (*prepare)(PartCompiler&) = nullptr) {
  Compiled result;
  SplitScore& score = *result.score;
  score.format = format;
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    score.partName[slot] = std::to_string(slot + 1);
  }
  for (const Part& part : parts) {
    if (part.slot == kAdpcmSlot) {
      score.adpcmText = part.text;
      continue;
    }
    score.partText[part.slot] = part.text;
    if (!part.name.empty()) {
      score.partName[part.slot] = part.name;
    }
  }
  result.mc = std::make_unique<PartCompiler>(score);
  if (prepare != nullptr) {
    prepare(*result.mc);
  }
  result.ok = result.mc->CompileParts();
  return result;
}

// One part in slot 0.
inline Compiled CompileOne(int format, const std::string& text) {
  return CompileSlots(format, {{0, text, ""}});
}

}  // namespace seqtest

#endif  // QUAVREX_TESTS_SEQUENCE_SEQUENCE_TEST_UTIL_H_
