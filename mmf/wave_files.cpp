#include "mmf/wave_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/sjis.h"

namespace {

// True when `path` is a regular file that opens for reading. Anything else is no wave: a
// folder cannot be read, a pipe would wait for a writer, a device yields no file's bytes.
bool OpensForReading(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
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

bool WaveFileSize(const std::string& path, uint64_t& size) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool ReadWaveFile(const std::string& path, Bytes& data, uint64_t maxSize) {
  // Opened without waiting and measured on the descriptor, so a wave replaced since it was
  // checked (by a pipe, say, or a larger file) is refused rather than waited for or read.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<uint64_t>(info.st_size) <= maxSize;
  if (ok) {
    data.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < data.size()) {
      ssize_t got = ::read(fd, data.data() + done, data.size() - done);
      ok = got > 0 || (got < 0 && errno == EINTR);
      done += got > 0 ? static_cast<size_t>(got) : 0;
    }
  }
  ::close(fd);
  return ok;
}
