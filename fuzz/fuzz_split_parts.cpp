// Runs the part splitter on arbitrary input in both formats and, when it succeeds, the part
// compilers and the writer on what it left; a failed compile has its fault traced back to the
// input, which must land inside it. The input is also read as a UTF-8 score. Any input must end in
// true or in one message, never in a crash, a sanitizer report or unbounded memory.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/compiler.h"
#include "core/score_encoding.h"
#include "core/source_position.h"
#include "job/fault_locator.h"
#include "mmf/chunk_sizes.h"
#include "mmf/crc.h"

namespace {

// Parts longer than this together are split but not compiled: a handset score is a few
// kilobytes, and the millions of notes one repeat can produce would only slow the run down.
constexpr size_t kMaxCompiledText = 65536;

// Inputs whose repeats would write out more than this (the most that is compiled) are not run:
// writing out megabytes only copies bytes, and such inputs, once in the corpus, made every
// later execution slower. Inputs far beyond the splitter's own limit still run, so that its
// refusal stays covered.
constexpr uint64_t kMaxEstimatedExpansion = 65536;
constexpr uint64_t kExpansionLimit = 16777216;  // where the splitter refuses an expansion

// The length the repeats of `text` write out, estimated: each byte counts once for every copy
// its enclosing repeats make ("|:" count ... ":|", the count 2 when absent).
uint64_t EstimatedExpansion(const std::string& text) {
  constexpr uint64_t kMost = uint64_t{1} << 40;  // far beyond any limit; products stop here
  std::vector<uint64_t> copies{1};
  uint64_t total = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "|:") == 0) {
      uint64_t count = 0;
      for (i += 2; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        count = std::min(count * 10 + static_cast<uint64_t>(text[i] - '0'), kMost);
      }
      count = std::max<uint64_t>(count, 2);
      copies.push_back(copies.back() > kMost / count ? kMost : copies.back() * count);
      --i;
    } else if (text.compare(i, 2, ":|") == 0 && copies.size() > 1) {
      copies.pop_back();
      ++i;
    } else {
      total += copies.back();
    }
  }
  return total;
}

size_t TotalPartText(const CMmlCompiler& compiler) {
  size_t total = compiler.m_adpcmPartText.size();
  for (const std::string& text : compiler.m_partText) {
    total += text.size();
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string source(reinterpret_cast<const char*>(data), size);
  const uint64_t expansion = EstimatedExpansion(source);
  if (expansion > kMaxEstimatedExpansion && expansion <= 2 * kExpansionLimit) {
    return -1;  // not added to the corpus
  }
  for (int format : {kFormatMa1, kFormatMa2}) {
    CMmlCompiler compiler;
    compiler.SetFormat(format);
    compiler.m_voiceSetupOut = 1;
    bool failed = !compiler.SplitParts(source);
    if (!failed && TotalPartText(compiler) <= kMaxCompiledText) {
      Bytes image;
      failed = !compiler.CompileParts() || !compiler.BuildMmf(image, "fuzz.mml");
      if (!failed) {
        FixChunkSizes(image, compiler.m_chunkOffsets);
        ComputeCrc(image, 0xFFFF);
      }
    }
    if (failed) {
      const size_t at = LocateFault(compiler, source);
      if (at != std::string::npos) {
        if (at > source.size()) {
          __builtin_trap();  // a place outside the score
        }
        PositionInSjis(source, at);
      }
    }
  }
  std::string text = source;
  EncodingFault fault;
  if (!ToCompilerText(text, ScoreEncoding::kUtf8, fault)) {
    PositionInUtf8(source, fault.offset);
  }
  return 0;
}
