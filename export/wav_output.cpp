#include "export/wav_output.h"

#include <cstdint>
#include <vector>

#include "export/beside_file.h"
#include "synth/mmf_render.h"
#include "synth/wav_file.h"

namespace {

// Log line endings (UTF-8), each after the name of the WAVE file and a space.
constexpr const char* kWritten = "は正しく書き出されました。";
constexpr const char* kReadFailed = "ファイルのオープンに失敗しました。";
constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました。";

// The WAVE file's bytes for the .MMF at `mmfPath`; false with the line's ending in `error`.
bool WavBytesOf(const std::string& mmfPath, const RenderOptions& options, Bytes& wav,
                std::string& error, CompileServices& services) {
  std::string mmf;
  if (!services.ReadWholeFile(mmfPath, mmf)) {
    error = kReadFailed;
    return false;
  }
  std::vector<int16_t> samples;
  if (!RenderMmf(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size(), options, samples,
                 error)) {
    return false;
  }
  if (!EncodeWav(samples, options.rate, wav)) {
    error = kWriteFailed;
    return false;
  }
  return true;
}

}  // namespace

bool WriteWavOfMmf(const std::string& mmfPath, const RenderOptions& options, std::string& log,
                   CompileServices& services) {
  const std::string wavPath = BesidePath(mmfPath, ".wav");
  std::string ending = kWritten;
  Bytes wav;
  bool written = WavBytesOf(mmfPath, options, wav, ending, services);
  if (written && !WriteWithRetries(wavPath, wav, services)) {
    ending = kWriteFailed;
    written = false;
  }
  LogLine(DisplayNameOf(wavPath) + " " + ending, log, services);
  return written;
}
