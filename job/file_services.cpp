#include "job/file_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <functional>
#include <utility>

#include "job/file_services_temporaries.h"

namespace {

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
  int fd;
  explicit FileDescriptor(int value = -1) : fd(value) {}
  ~FileDescriptor() { Reset(-1); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    Reset(std::exchange(other.fd, -1));
    return *this;
  }
  void Reset(int value) {
    if (fd >= 0) {
      ::close(fd);
    }
    fd = value;
  }
  // Closes the descriptor now; false when closing reports a failed write.
  bool Close() { return ::close(std::exchange(fd, -1)) == 0; }
};

// A file as a descriptor of its folder and its name there. Every later step works relative to
// the folder, so no path made here is longer than one the caller gave.
struct Location {
  FileDescriptor folder;
  std::string name;
};

// Links followed at most, as the kernel does before giving up with ELOOP.
constexpr int kMaxLinks = 40;

// Opens the folder of `path` (relative to the folder `base` unless it starts with "/").
bool OpenLocation(int base, const std::string& path, Location& location) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  location.name = slash == std::string::npos ? path : path.substr(slash + 1);
  location.folder.Reset(::openat(base, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  return location.folder.fd >= 0 && !location.name.empty();
}

// Follows symbolic links from `path` to the file they end at, which need not exist yet: like
// an ordinary open, a dangling link is written through to the path it holds.
bool FollowLinks(const std::string& path, Location& location) {
  if (!OpenLocation(AT_FDCWD, path, location)) {
    return false;
  }
  for (int link = 0; link < kMaxLinks; ++link) {
    char target[PATH_MAX];
    ssize_t size = ::readlinkat(location.folder.fd, location.name.c_str(), target, sizeof target);
    if (size < 0) {
      return errno == EINVAL || errno == ENOENT;  // not a link, or no file yet
    }
    if (static_cast<size_t>(size) == sizeof target) {
      return false;
    }
    Location next;
    if (!OpenLocation(location.folder.fd, std::string(target, static_cast<size_t>(size)), next)) {
      return false;
    }
    location = std::move(next);
  }
  return false;
}

// An unnamed file can be given a name through /proc/self/fd only when /proc is mounted.
bool CanNameUnnamedFiles() {
  static const bool mounted = ::access("/proc/self/fd", X_OK) == 0;
  return mounted;
}

// Creates a new, unused named file in `folder`, locked as a live writer's; stores its name in
// `name`.
int CreateNamedTemporary(int folder, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName();
    int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      LockTemporary(fd);
    }
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

// Gives the complete unnamed file `fd` the name `name` in `folder`; fails when it is taken.
bool NameUnnamedFile(int fd, int folder, const std::string& name) {
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the complete unnamed file `fd` an unused temporary name in `folder`.
bool NameTemporary(int fd, int folder, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName();
    if (NameUnnamedFile(fd, folder, name)) {
      return true;
    }
    if (errno != EEXIST) {
      return false;
    }
  }
  return false;
}

// The replacement takes the old file's owner and group where the user may set them (root
// keeps both; others keep a group they belong to), then its permission bits; ownership comes
// first because changing it clears the set-id bits.
void KeepOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // The new file keeps the user's own group.
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) {
    // The new file keeps the default permissions.
  }
}

// The create-or-truncate write, on the target opened for writing; `writeAll` writes the bytes.
WriteResult RewriteInPlace(FileDescriptor& file, const std::function<bool(int)>& writeAll) {
  bool written = ::ftruncate(file.fd, 0) == 0 && writeAll(file.fd);
  written = file.Close() && written;
  return written ? WriteResult::kOk : WriteResult::kWriteFailed;
}

// No new file may be made in the folder (or put in the target's place) for want of rights.
bool IsDenied(int error) { return error == EACCES || error == EPERM; }

// The file a write goes to, with what is known of the one it replaces.
struct Target {
  Location location;        // after following links
  struct stat old {};       // the file there, when `writable` is open
  FileDescriptor writable;  // that file, opened for writing; -1 when there is none
};

// Finds the target of a write. False when it cannot be written: its folder is missing, a link
// loops, or a file is there that is no regular file or that the user could not open for
// writing (which is therefore not replaced either).
bool OpenTarget(const std::string& path, Target& target) {
  if (!FollowLinks(path, target.location)) {
    return false;
  }
  const int folder = target.location.folder.fd;
  const char* name = target.location.name.c_str();
  if (::fstatat(folder, name, &target.old, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT;
  }
  if (!S_ISREG(target.old.st_mode)) {
    return false;
  }
  target.writable.Reset(::openat(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  return target.writable.fd >= 0;
}

}  // namespace

FileCompileServices::FileCompileServices() {
  static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
  (void)ignored;
}

bool FileCompileServices::ReadWholeFile(const std::string& path, std::string& bytes) {
  // Checked before opening, since opening a pipe waits for a writer; checked again on the
  // descriptor, since the name may have been given to another file meanwhile.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  bytes.clear();
  bytes.reserve(static_cast<size_t>(info.st_size));
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

bool FileCompileServices::WriteAll(int fd, const Bytes& data) {
  const uint8_t* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t written = WriteSome(fd, next, left);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    next += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

WriteResult FileCompileServices::WriteWholeFile(const std::string& path, const Bytes& data) {
  const auto writeAll = [this, &data](int fd) { return WriteAll(fd, data); };
  Target target;
  if (!OpenTarget(path, target)) {
    return WriteResult::kOpenFailed;
  }
  const int folder = target.location.folder.fd;
  const char* name = target.location.name.c_str();
  const bool exists = target.writable.fd >= 0;
  FileDescriptor& writable = target.writable;
  const struct stat& old = target.old;

  SweepStaleTemporaries(folder);

  std::string temporary;
  FileDescriptor file;
  int error = EOPNOTSUPP;
  if (TriesUnnamedFiles() && CanNameUnnamedFiles()) {
    file.Reset(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    error = errno;
  }
  const bool unnamed = file.fd >= 0;
  // A file system without unnamed files gets a named temporary; a folder the user may not
  // write to allows neither.
  if (unnamed) {
    LockTemporary(file.fd);
  } else if (!IsDenied(error)) {
    file.Reset(CreateNamedTemporary(folder, temporary));
    error = errno;
    if (file.fd >= 0) {
      TemporaryNamed();
    }
  }
  if (file.fd < 0) {
    return exists && IsDenied(error) ? RewriteInPlace(writable, writeAll)
                                     : WriteResult::kOpenFailed;
  }
  if (exists) {
    KeepOwnerAndMode(file.fd, old);
  }
  // Made durable before the file takes the target's place.
  bool written = WriteAll(file.fd, data) && SyncFile(file.fd) == 0;
  if (unnamed) {
    // Named only now that it is complete: straight as the target when there is none, otherwise
    // under a temporary name that is then renamed over the target.
    if (written && !exists && NameUnnamedFile(file.fd, folder, target.location.name)) {
      return file.Close() ? WriteResult::kOk : WriteResult::kWriteFailed;
    }
    if (!written || !NameTemporary(file.fd, folder, temporary)) {
      return WriteResult::kWriteFailed;  // the unnamed file goes with its descriptor
    }
    TemporaryNamed();
  }
  written = file.Close() && written;
  if (!written) {
    ::unlinkat(folder, temporary.c_str(), 0);
    return WriteResult::kWriteFailed;
  }
  if (::renameat(folder, temporary.c_str(), folder, name) != 0) {
    error = errno;
    ::unlinkat(folder, temporary.c_str(), 0);
    // A sticky folder may forbid replacing another user's file that the user may write.
    if (exists && IsDenied(error)) {
      return RewriteInPlace(writable, writeAll);
    }
    return WriteResult::kOpenFailed;
  }
  return WriteResult::kOk;
}

void FileCompileServices::Sleep(int milliseconds) {
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}
