#include "job/score_waves.h"

#include "frontend/split_score.h"
#include "mmf/wave_files.h"

std::vector<std::string> WaveFilesOfScore(const std::string& path, const CompileOptions& options,
                                          CompileServices& services) {
  std::vector<std::string> waves;
  std::string text;
  EncodingFault fault;
  if (!options.ma2 || !services.ReadWholeFile(path, text) ||
      !ToCompilerText(text, options.encoding, fault)) {
    return waves;
  }
  const WaveList list = FileListOf(text.substr(0, text.find('\0')));
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  for (const std::string& name : list.fileName) {
    if (name.empty()) {
      continue;
    }
    std::string resolved;
    if (!ResolveWaveFile(name, path, resolved)) {
      // Not there yet: watch for it in the score's folder.
      std::string native = NativeWavePath(name);
      resolved = folder + (native.starts_with('/') ? native.substr(1) : native);
    }
    waves.push_back(resolved);
  }
  return waves;
}
