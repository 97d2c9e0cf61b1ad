#include "synth/mmf_render.h"

#include "reader/mmf_reader.h"
#include "synth/score_from_model.h"

namespace {

constexpr const char* kNotPlayable = "再生できるMMFファイルではありません。";

}  // namespace

bool PlayableScore(const uint8_t* data, size_t size, RenderScore& score, std::string& error) {
  const MmfFile file = ReadMmf(data, size);
  // A file of the audio track alone (a score of F and A parts) has no score track to give
  // it a format, and still plays.
  if (!file.supported || (file.format == MmfFormat::kUnknown && !file.hasAudio)) {
    error = kNotPlayable;
    return false;
  }
  score = ScoreFromModel(file);
  return true;
}

bool RenderMmf(const uint8_t* data, size_t size, const RenderOptions& options,
               std::vector<int16_t>& out, std::string& error) {
  RenderScore score;
  return PlayableScore(data, size, score, error) && RenderPcm(score, options, out, error);
}
