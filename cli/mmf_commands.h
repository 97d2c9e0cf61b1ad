#ifndef QUAVREX_CLI_MMF_COMMANDS_H_
#define QUAVREX_CLI_MMF_COMMANDS_H_

#include <iosfwd>
#include <string>

// What the command line does with an .MMF file.
enum class MmfCommand { kDump, kJson, kVerify };

// True for a file name ending in ".MMF" in any letter case: such a file is read, not compiled.
bool IsMmfPath(const std::string& path);

// Reads the .MMF file at `path` and prints its listing, its JSON form or its verify line to
// `out`. A file that cannot be read gets a line on `err`. Returns true when the file was read
// and is sound (no finding).
bool RunMmfCommand(MmfCommand command, const std::string& path, std::ostream& out,
                   std::ostream& err);

#endif  // QUAVREX_CLI_MMF_COMMANDS_H_
