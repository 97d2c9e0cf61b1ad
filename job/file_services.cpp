#include "job/file_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
  int fd;
  explicit FileDescriptor(int value) : fd(value) {}
  ~FileDescriptor() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
};

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Creates a new, unused file for the output's bytes in the output's own folder, so that the
// final rename never crosses file systems. Its name is short and fixed in form, so that an
// output whose own name is as long as a name may be still gets a temporary beside it.
// Returns the descriptor (-1 on failure).
int CreateTemporary(const std::string& target, std::string& temporary) {
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + ".quavrex-" + std::to_string(::getpid()) + '-' +
                std::to_string(counter++) + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

}  // namespace

bool FileCompileServices::ReadWholeFile(const std::string& path, std::string& bytes) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    return false;
  }
  bytes.clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return false;
    }
    if (got == 0) {
      return true;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

WriteResult FileCompileServices::WriteWholeFile(const std::string& path, const Bytes& data) {
  std::string temporary;
  FileDescriptor file(CreateTemporary(path, temporary));
  if (file.fd < 0) {
    return WriteResult::kOpenFailed;
  }
  // A file that is replaced keeps its permissions.
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    if (::fchmod(file.fd, existing.st_mode & 07777) != 0) {
      // The new file keeps the default permissions.
    }
  }
  bool written = WriteAll(file.fd, data.data(), data.size()) && ::fsync(file.fd) == 0;
  int fd = file.fd;
  file.fd = -1;
  written = ::close(fd) == 0 && written;
  if (!written) {
    ::unlink(temporary.c_str());
    return WriteResult::kWriteFailed;
  }
  // The target cannot be replaced (a folder of that name, say): like a target that cannot be
  // opened, which is worth another attempt.
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return WriteResult::kOpenFailed;
  }
  return WriteResult::kOk;
}

void FileCompileServices::Sleep(int milliseconds) {
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}
