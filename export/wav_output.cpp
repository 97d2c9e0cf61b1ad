#include "export/wav_output.h"

#include <cstdint>
#include <vector>

#include "export/beside_file.h"
#include "synth/mmf_render.h"
#include "synth/stems.h"
#include "synth/wav_file.h"

namespace {

// Log line endings (UTF-8), each after the name of the WAVE file and a space.
constexpr const char* kWritten = "は正しく書き出されました。";
constexpr const char* kReadFailed = "ファイルのオープンに失敗しました。";
constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました。";

// The score of the .MMF at `mmfPath`; false with the line's ending in `error`.
bool ScoreOf(const std::string& mmfPath, RenderScore& score, std::string& error,
             CompileServices& services) {
  std::string mmf;
  if (!services.ReadWholeFile(mmfPath, mmf)) {
    error = kReadFailed;
    return false;
  }
  return PlayableScore(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size(), score, error);
}

// Writes `samples` as the WAVE file `wavPath` and reports it in its log line; when `error`
// (the line's ending) is not empty, nothing was rendered and only the line is made. Returns
// whether the file was written.
bool WriteSamples(const std::string& wavPath, const std::vector<int16_t>& samples, int rate,
                  std::string error, std::string& log, CompileServices& services) {
  Bytes wav;
  if (error.empty() &&
      (!EncodeWav(samples, rate, wav) || !WriteWithRetries(wavPath, wav, services))) {
    error = kWriteFailed;
  }
  LogLine(DisplayNameOf(wavPath) + " " + (error.empty() ? kWritten : error), log, services);
  return error.empty();
}

// "tune.part01.wav": the file beside `mmfPath` of the stem of `part`, numbered in two digits.
std::string StemPath(const std::string& mmfPath, const StemPart& part,
                     const std::array<std::string, kSequenceSlots>* partNames) {
  std::string name = "A";
  if (part.channel != StemPart::kAudioTrack) {
    const std::string* scoreName = partNames != nullptr ? &(*partNames)[part.channel] : nullptr;
    name =
        scoreName != nullptr && !scoreName->empty() ? *scoreName : std::to_string(part.channel + 1);
    if (name.size() == 1) {
      name.insert(0, "0");
    }
  }
  return BesidePath(mmfPath, (".part" + name + ".wav").c_str());
}

}  // namespace

bool WriteWavOfMmf(const std::string& mmfPath, const RenderOptions& options, std::string& log,
                   CompileServices& services, bool stems,
                   const std::array<std::string, kSequenceSlots>* partNames) {
  RenderScore score;
  std::string error;
  std::vector<int16_t> whole;
  const bool rendered =
      ScoreOf(mmfPath, score, error, services) && RenderPcm(score, options, whole, error);
  if (!WriteSamples(BesidePath(mmfPath, ".wav"), whole, options.rate, rendered ? "" : error, log,
                    services)) {
    return false;
  }
  bool allWritten = true;
  if (stems) {
    // One part at a time, so that only one stem is held beside the whole tune. Each is cut to
    // the length of the whole (it renders as long, untrimmed), so that the stems line up and
    // mix to the whole.
    for (const StemPart& part : StemParts(score)) {
      RenderOptions alone = options;
      alone.muted = part.others;
      alone.trimSilence = false;
      std::vector<int16_t> stem;
      std::string stemError;
      const bool stemRendered = RenderPcm(score, alone, stem, stemError);
      stem.resize(whole.size(), 0);
      const std::string path = StemPath(mmfPath, part, partNames);
      allWritten =
          WriteSamples(path, stem, options.rate, stemRendered ? "" : stemError, log, services) &&
          allWritten;
    }
  }
  return allWritten;
}
