#include "synth/wav_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A new file beside `target` for the bytes before the rename; -1 when none can be made.
int CreateTemporary(const std::string& target, std::string& temporary) {
  const size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + ".quavrex-wav-" + std::to_string(::getpid()) + '-' +
                std::to_string(counter++) + ".tmp";
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

bool WriteSamples(int fd, const std::vector<int16_t>& samples, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  // libsndfile does not close the descriptor (last argument 0); the caller does.
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, 0);
  if (file == nullptr) {
    return false;
  }
  const auto count = static_cast<sf_count_t>(samples.size());
  const bool written = sf_write_short(file, samples.data(), count) == count;
  return sf_close(file) == 0 && written;
}

}  // namespace

bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int rate) {
  std::string temporary;
  const int fd = CreateTemporary(path, temporary);
  if (fd < 0) {
    return false;
  }
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    if (::fchmod(fd, existing.st_mode & 07777) != 0) {
      // The new file keeps the default permissions.
    }
  }
  bool written = WriteSamples(fd, samples, rate) && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}
