// Runs the part splitter on arbitrary input in both formats and, when it succeeds, the part
// compilers and the writer on what it left. Any input must end in true or in one message, never in
// a crash, a sanitizer report or unbounded memory.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/compiler.h"
#include "mmf/chunk_sizes.h"
#include "mmf/crc.h"

namespace {

// Parts longer than this together are split but not compiled: a handset score is a few
// kilobytes, and the millions of notes one repeat can produce would only slow the run down.
constexpr size_t kMaxCompiledText = 65536;

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
  for (int format : {kFormatMa1, kFormatMa2}) {
    CMmlCompiler compiler;
    compiler.SetFormat(format);
    compiler.m_voiceSetupOut = 1;
    if (compiler.SplitParts(source) && TotalPartText(compiler) <= kMaxCompiledText) {
      Bytes image;
      if (compiler.CompileParts() && compiler.BuildMmf(image, "fuzz.mml")) {
        FixChunkSizes(image, compiler.m_chunkOffsets);
        ComputeCrc(image, 0xFFFF);
      }
    }
  }
  return 0;
}
