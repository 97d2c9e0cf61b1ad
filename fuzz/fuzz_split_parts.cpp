// Runs the part splitter on arbitrary input in both formats and, when it succeeds, the part
// compilers and the writer on what it left; a failed compile has its fault traced back to the
// input, which must land inside it. The input is also read as a UTF-8 score. Any input must end in
// true or in one message, never in a crash, a sanitizer report or unbounded memory.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/score_encoding.h"
#include "core/source_position.h"
#include "frontend/split_score.h"
#include "job/fault_locator.h"
#include "mmf/mmf_image.h"
#include "sequence/compiled_tracks.h"

namespace {

// Each input may grow by repeat expansion to this many bytes over all its parts: the splitter
// refuses more with its own message, just as it refuses more than kMaxExpandedBytes in a real
// compile. Handset scores are a few kilobytes, and every byte that is compiled costs the same
// however it came about (some microseconds a note with the sanitizers), so this bounds the
// time of one execution. Estimating the expansion from the input instead missed counts
// that white space splits ("|:3 3 3" is 333), which the splitter removes first.
constexpr uint64_t kExpansionBudget = 4096;

// Parts longer than this together are split but not compiled: a compile of this much takes
// about 10 ms with the sanitizers, forty times the usual execution.
constexpr size_t kMaxCompiledText = 2048;

size_t TotalPartText(const SplitScore& score) {
  size_t total = score.adpcmText.size();
  for (const std::string& text : score.partText) {
    total += text.size();
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string source(reinterpret_cast<const char*>(data), size);
  for (int format : {kFormatMa1, kFormatMa2}) {
    FaultPlace place;
    StageResult<SplitScore> split = SplitParts(source, format, kExpansionBudget);
    if (!split.ok()) {
      place = split.fault().place;
    } else if (TotalPartText(split.value()) <= kMaxCompiledText) {
      SplitScore& score = split.value();
      StageResult<CompiledTracks> tracks = CompileParts(score);
      if (!tracks.ok()) {
        place = tracks.fault().place;
      } else {
        StageResult<SetupChunk> setup =
            BuildSetupChunk(tracks.value().usedVoices, score.voices, format, true);
        if (setup.ok()) {
          BuildMmf(score, tracks.value(), setup.value(), "fuzz.mml");
        }
      }
    }
    const size_t at = LocateFault(place, source);
    if (at != std::string::npos) {
      if (at > source.size()) {
        __builtin_trap();  // a place outside the score
      }
      PositionInSjis(source, at);
    }
  }
  std::string text = source;
  EncodingFault fault;
  if (!ToCompilerText(text, ScoreEncoding::kUtf8, fault)) {
    PositionInUtf8(source, fault.offset);
  }
  return 0;
}
