#include "tests/reader/compiled_score.h"

#include "mmf/chunk_sizes.h"
#include "mmf/crc.h"
#include "tests/test_util.h"

CompiledScore CompileInMemory(const std::string& score, bool ma2, bool voiceSetup,
                              const std::string& folder) {
  CompiledScore out;
  out.compiler = std::make_unique<CMmlCompiler>();
  CMmlCompiler& m = *out.compiler;
  m.SetFormat(ma2 ? kFormatMa2 : kFormatMa1);
  m.m_voiceSetupOut = voiceSetup ? 1 : 0;
  out.ok = m.SplitParts(score) && m.CompileParts() && m.BuildMmf(out.image, folder + "/song.mml");
  if (!out.ok) {
    return out;
  }
  FixChunkSizes(out.image, m.m_chunkOffsets);
  uint16_t crc = ComputeCrc(out.image, 0xFFFF);
  out.image[out.image.size() - 4] = static_cast<uint8_t>(crc >> 8);
  out.image[out.image.size() - 3] = static_cast<uint8_t>(crc);
  ExpectSoundMmf(out.image);
  return out;
}
