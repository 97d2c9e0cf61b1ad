#include "synth/mmf_render.h"

#include "reader/mmf_reader.h"
#include "synth/score_from_model.h"

namespace {

constexpr const char* kNotPlayable = "再生できるMMFファイルではありません。";

}  // namespace

bool RenderMmf(const uint8_t* data, size_t size, const RenderOptions& options,
               std::vector<int16_t>& out, std::string& error) {
  const MmfFile file = ReadMmf(data, size);
  if (file.format == MmfFormat::kUnknown || !file.supported) {
    error = kNotPlayable;
    return false;
  }
  return RenderPcm(ScoreFromModel(file), options, out, error);
}
