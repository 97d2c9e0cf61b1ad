#include "synth/mmf_render.h"

#include <fstream>
#include <iterator>

#include "core/sjis.h"
#include "reader/mmf_reader.h"
#include "synth/score_from_model.h"
#include "synth/wav_file.h"

namespace {

constexpr const char* kNotPlayable = "再生できるMMFファイルではありません。";
constexpr const char* kReadFailed = "ファイルのオープンに失敗しました。";
constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました。";
constexpr const char* kWavWritten = "は正しく書き出されました。";

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

bool ExportWav(const std::string& mmfPath, const std::string& wavPath, const RenderOptions& options,
               std::string& error) {
  std::ifstream in(mmfPath, std::ios::binary);
  if (!in) {
    error = kReadFailed;
    return false;
  }
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  if (in.bad()) {
    error = kReadFailed;
    return false;
  }
  std::vector<int16_t> samples;
  if (!RenderMmf(bytes.data(), bytes.size(), options, samples, error)) {
    return false;
  }
  if (!WriteWavFile(wavPath, samples, options.rate)) {
    error = kWriteFailed;
    return false;
  }
  return true;
}

std::string WavPathFor(const std::string& mmfPath) {
  const size_t slash = mmfPath.rfind('/');
  const size_t dot = mmfPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? mmfPath.substr(0, dot) : mmfPath) + ".wav";
}

bool ExportWavBeside(const std::string& mmfPath, const RenderOptions& options, std::string& line) {
  const std::string wavPath = WavPathFor(mmfPath);
  const size_t slash = wavPath.rfind('/');
  const std::string name =
      FileNameForDisplay(slash == std::string::npos ? wavPath : wavPath.substr(slash + 1));
  std::string error;
  const bool written = ExportWav(mmfPath, wavPath, options, error);
  line = name + " " + (written ? kWavWritten : error) + "\r\n";
  return written;
}
