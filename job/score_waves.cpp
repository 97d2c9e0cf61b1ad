#include "job/score_waves.h"

#include "core/compiler.h"
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
  // The splitter reads the file list before anything else can fail but the contents block.
  CMmlCompiler compiler;
  compiler.SetFormat(kFormatMa2);
  compiler.SplitParts(text.substr(0, text.find('\0')));
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  for (const std::string& name : compiler.m_adpcmFileName) {
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
