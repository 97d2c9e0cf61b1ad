#include "cli/wav_output.h"

#include <ostream>

#include "synth/mmf_render.h"

std::string MmfPathOf(const std::string& scorePath) {
  return scorePath.substr(0, scorePath.rfind('.')) + ".MMF";
}

bool WriteWavAndLog(const std::string& mmfPath, int rate, std::ostream& out) {
  RenderOptions options;
  options.rate = rate;
  std::string line;
  const bool written = ExportWavBeside(mmfPath, options, line);
  // A terminal shows "\r\n" as "\n", like the compile job's lines.
  line.erase(line.size() - 2, 1);
  out << line << std::flush;
  return written;
}
