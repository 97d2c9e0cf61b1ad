#include "mmf/wave_files.h"

#include <sys/stat.h>

#include <cstdio>

#include "core/sjis.h"

namespace {

// True when `path` is a regular file that opens for reading. Anything else is no wave: a
// folder cannot be read, a pipe would wait for a writer, a device yields no file's bytes.
bool OpensForReading(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return false;
  }
  std::fclose(file);
  return true;
}

// The folder of the score: its path up to the last "/", "." when the path has none.
std::string FolderOf(const std::string& sourcePath) {
  size_t slash = sourcePath.rfind('/');
  return slash == std::string::npos ? std::string(".") : sourcePath.substr(0, slash);
}

}  // namespace

std::string NativeWavePath(const std::string& sjisName) {
  std::string bytes;
  for (size_t i = 0; i < sjisName.size(); ++i) {
    char c = sjisName[i];
    if (IsLeadByte(c) && i + 1 < sjisName.size()) {
      bytes += c;
      bytes += sjisName[++i];  // may be 0x5C, which is part of the character
    } else {
      bytes += c == '\\' ? '/' : c;
    }
  }
  return SjisToUtf8(bytes);
}

bool ResolveWaveFile(const std::string& sjisName, const std::string& sourcePath,
                     std::string& resolved) {
  std::string asWritten = NativeWavePath(sjisName);
  if (OpensForReading(asWritten)) {
    resolved = asWritten;
    return true;
  }
  std::string relative = asWritten;
  if (!relative.empty() && relative[0] == '/') {
    relative.erase(0, 1);
  }
  std::string besideScore = FolderOf(sourcePath) + "/" + relative;
  if (OpensForReading(besideScore)) {
    resolved = besideScore;
    return true;
  }
  return false;
}

bool ReadWaveFile(const std::string& path, Bytes& data) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return false;
  }
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long length = ok ? std::ftell(file) : -1;
  ok = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    data.resize(static_cast<size_t>(length));
    ok = std::fread(data.data(), 1, data.size(), file) == data.size();
  }
  std::fclose(file);
  return ok;
}
