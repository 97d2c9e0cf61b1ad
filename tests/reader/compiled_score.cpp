#include "tests/reader/compiled_score.h"

#include <utility>

#include "mmf/mmf_image.h"
#include "tests/test_util.h"

CompiledScore CompileInMemory(const std::string& score, bool ma2, bool voiceSetup,
                              const std::string& folder) {
  CompiledScore out;
  StageResult<SplitScore> split = SplitParts(score, ma2 ? kFormatMa2 : kFormatMa1);
  if (!split.ok()) {
    out.message = split.fault().message;
    return out;
  }
  out.score = std::move(split.value());
  StageResult<CompiledTracks> tracks = CompileParts(out.score);
  if (!tracks.ok()) {
    out.message = tracks.fault().message;
    return out;
  }
  out.tracks = std::move(tracks.value());
  StageResult<SetupChunk> setup =
      BuildSetupChunk(out.tracks.usedVoices, out.score.voices, out.score.format, voiceSetup);
  if (!setup.ok()) {
    out.message = setup.fault().message;
    return out;
  }
  out.setup = std::move(setup.value());
  StageResult<Bytes> image = BuildMmf(out.score, out.tracks, out.setup, folder + "/song.mml");
  if (!image.ok()) {
    out.message = image.fault().message;
    return out;
  }
  out.image = std::move(image.value());
  out.ok = true;
  ExpectSoundMmf(out.image);
  return out;
}
