#include "cli/mmf_commands.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "core/sjis.h"
#include "listing/mmf_json.h"
#include "listing/mmf_listing.h"
#include "reader/mmf_reader.h"

bool IsMmfPath(const std::string& path) {
  if (path.size() < 4) {
    return false;
  }
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return tail == ".MMF";
}

bool RunMmfCommand(MmfCommand command, const std::string& path, std::ostream& out,
                   std::ostream& err) {
  const std::string name = FileNameForDisplay(path);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes;
  if (in) {
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (!in && !in.eof()) {
    err << name << ": cannot be read\n";
    return false;
  }
  MmfFile file = command == MmfCommand::kVerify ? CheckMmf(bytes.data(), bytes.size())
                                                : ReadMmf(bytes.data(), bytes.size());
  switch (command) {
    case MmfCommand::kDump:
      out << MmfListing(file, name);
      break;
    case MmfCommand::kJson:
      out << MmfJson(file, name);
      break;
    case MmfCommand::kVerify:
      out << VerifyLine(file, name) << '\n';
      break;
  }
  out << std::flush;
  return IsSound(file);
}
