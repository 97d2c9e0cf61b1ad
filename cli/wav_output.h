#ifndef QUAVREX_CLI_WAV_OUTPUT_H_
#define QUAVREX_CLI_WAV_OUTPUT_H_

#include <iosfwd>
#include <string>

// The "--wav" side of the command line.

// The .MMF that compiling the score at `scorePath` writes: its path up to the last "."
// followed by ".MMF".
std::string MmfPathOf(const std::string& scorePath);

// Writes the WAVE file beside the .MMF at `mmfPath` at `rate` Hz and prints its log line to
// `out`. Returns whether it was written.
bool WriteWavAndLog(const std::string& mmfPath, int rate, std::ostream& out);

#endif  // QUAVREX_CLI_WAV_OUTPUT_H_
