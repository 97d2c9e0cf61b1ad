#include "job/file_services_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kPrefix = ".quavrex-";
constexpr std::string_view kSuffix = ".tmp";

// A folder swept this recently is not listed again.
constexpr std::chrono::seconds kSweepInterval{1};

// The value of `digits`: at most ten decimal digits without a leading zero; -1 otherwise.
int64_t Decimal(std::string_view digits) {
  if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) {
    return -1;
  }
  int64_t value = 0;
  for (char digit : digits) {
    if (digit < '0' || digit > '9') {
      return -1;
    }
    value = value * 10 + (digit - '0');
  }
  return value;
}

// True when no process has the id `pid`. A process of another user counts as alive (EPERM).
bool ProcessGone(int pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// True when `folder` (its device and inode) was not swept within the last interval; it counts
// as swept from now on.
bool DueForSweep(const struct stat& folder) {
  static std::mutex mutex;
  static std::map<std::pair<dev_t, ino_t>, std::chrono::steady_clock::time_point> swept;
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> lock(mutex);
  auto [entry, added] = swept.try_emplace({folder.st_dev, folder.st_ino}, now);
  if (!added && now - entry->second < kSweepInterval) {
    return false;
  }
  entry->second = now;
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A regular file of this user with this one name: what a writer of ours leaves.
bool LooksLeftByUs(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// Removes the temporary `name` from `folder` if its writer is gone. Only a regular file is
// opened (a device could act on being opened), and it is removed only while it is still the
// file that was checked.
void RemoveIfStale(int folder, const std::string& name) {
  struct stat named {};
  if (!ProcessGone(TemporaryNameProcess(name)) ||
      ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !LooksLeftByUs(named)) {
    return;
  }
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::openat(folder, name.c_str(), O_RDONLY | kFlags);
  if (fd < 0 && errno == EACCES) {
    fd = ::openat(folder, name.c_str(), O_WRONLY | kFlags);  // kept with a write-only mode
  }
  if (fd < 0) {
    return;
  }
  struct stat opened {};
  // A lock held means a writer lives where its process id cannot be seen. Where locks are not
  // supported, the process id alone decides.
  bool stale = ::fstat(fd, &opened) == 0 && SameFile(opened, named) && LooksLeftByUs(opened) &&
               (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) &&
               ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
               SameFile(opened, named);
  if (stale) {
    ::unlinkat(folder, name.c_str(), 0);
  }
  ::close(fd);
}

}  // namespace

std::string TemporaryName() {
  static std::atomic<unsigned> counter{0};
  return std::string(kPrefix) + std::to_string(::getpid()) + '-' + std::to_string(counter++) +
         std::string(kSuffix);
}

int TemporaryNameProcess(const std::string& name) {
  if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix)) {
    return 0;
  }
  std::string_view middle(name);
  middle = middle.substr(kPrefix.size(), middle.size() - kPrefix.size() - kSuffix.size());
  const size_t dash = middle.find('-');
  if (dash == std::string_view::npos) {
    return 0;
  }
  const int64_t pid = Decimal(middle.substr(0, dash));
  const int64_t counter = Decimal(middle.substr(dash + 1));
  return pid > 0 && pid <= INT_MAX && counter >= 0 && counter <= UINT_MAX ? static_cast<int>(pid)
                                                                          : 0;
}

void LockTemporary(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // No locks on this file system: the process id in the name guards the file alone.
  }
}

void SweepStaleTemporaries(int folder) {
  struct stat info {};
  if (::fstat(folder, &info) != 0 || !DueForSweep(info)) {
    return;
  }
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) {
    return;
  }
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return;
  }
  // Listed first and checked afterwards, so that no removal happens while the folder is read.
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(entries)) {
    if (TemporaryNameProcess(entry->d_name) > 0) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(entries);
  for (const std::string& name : names) {
    RemoveIfStale(folder, name);
  }
}
