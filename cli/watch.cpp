#include "cli/watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <utility>

namespace {

// After a change, further changes within this many milliseconds join the same compile, so
// that an editor's several writes of one save compile once.
constexpr int kSettleMs = 100;

// The signals that end watch mode arrive as reads of a descriptor, so the wait for them and
// for file changes is one poll(). The previous signal mask comes back on destruction.
class StopSignals {
 public:
  StopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &previous_);
    fd_ = signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  ~StopSignals() {
    if (fd_ >= 0) {
      close(fd_);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  int fd() const { return fd_; }

 private:
  sigset_t previous_{};
  int fd_ = -1;
};

// A folder watch and the names in it that belong to each score.
struct Target {
  int watch;
  std::string name;
  bool operator<(const Target& other) const {
    return watch != other.watch ? watch < other.watch : name < other.name;
  }
};

class Watcher {
 public:
  Watcher(const std::vector<std::string>& scores, const FilesOfScore& filesOf)
      : scores_(scores), filesOf_(filesOf), fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {}
  ~Watcher() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;
  int fd() const { return fd_; }

  // Watches the folders of every score and of its files; false when a folder cannot be
  // watched (`failed` names it).
  bool Update(std::string& failed) {
    targets_.clear();
    for (size_t k = 0; k < scores_.size(); ++k) {
      std::vector<std::string> files = filesOf_(scores_[k]);
      files.insert(files.begin(), scores_[k]);
      for (const std::string& file : files) {
        if (!Add(file, k, failed)) {
          return false;
        }
      }
    }
    return true;
  }

  // Reads the waiting events into the scores they concern; false on a read error.
  bool Read(std::set<size_t>& changed) {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got < 0) {
        return errno == EAGAIN || errno == EINTR;
      }
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0) {
          auto [first, last] = targets_.equal_range(Target{event->wd, event->name});
          for (auto it = first; it != last; ++it) {
            changed.insert(it->second);
          }
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  bool Add(const std::string& file, size_t score, std::string& failed) {
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    // Closing a written file, or a file renamed into the folder, is a save.
    const int watch = inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    if (watch < 0) {
      failed = folder + ": " + std::strerror(errno);
      return false;
    }
    targets_.emplace(Target{watch, name}, score);
    return true;
  }

  const std::vector<std::string>& scores_;
  const FilesOfScore& filesOf_;
  int fd_;
  std::multimap<Target, size_t> targets_;
};

enum class Wake { kChange, kStop, kTimeout, kError };

Wake WaitFor(const StopSignals& signals, const Watcher& watcher, int timeoutMs) {
  pollfd fds[2] = {{signals.fd(), POLLIN, 0}, {watcher.fd(), POLLIN, 0}};
  const int ready = poll(fds, 2, timeoutMs);
  if (ready < 0) {
    return errno == EINTR ? Wake::kTimeout : Wake::kError;
  }
  if ((fds[0].revents & POLLIN) != 0) {
    // Taken here, the signal is no longer pending when the old mask comes back.
    signalfd_siginfo info;
    if (read(signals.fd(), &info, sizeof info) < 0) {
      return Wake::kError;
    }
    return Wake::kStop;
  }
  return (fds[1].revents & POLLIN) != 0 ? Wake::kChange : Wake::kTimeout;
}

}  // namespace

int WatchScores(const std::vector<std::string>& scores, const CompileScore& compile,
                const FilesOfScore& filesOf, std::ostream& err) {
  StopSignals signals;
  if (signals.fd() < 0) {
    err << "quavrexc: cannot wait for signals: " << std::strerror(errno) << '\n';
    return 1;
  }
  Watcher watcher(scores, filesOf);
  std::string failed = std::string("inotify: ") + std::strerror(errno);
  // The folders are watched before the first compile, so that no save goes unseen.
  if (watcher.fd() < 0 || !watcher.Update(failed)) {
    err << "quavrexc: cannot watch " << failed << '\n';
    return 1;
  }
  std::set<size_t> changed;
  for (size_t k = 0; k < scores.size(); ++k) {
    changed.insert(k);
  }
  for (;;) {
    for (size_t k : changed) {
      compile(scores[k]);
    }
    changed.clear();
    // A compile may have changed the files a score plays.
    if (!watcher.Update(failed)) {
      err << "quavrexc: cannot watch " << failed << '\n';
      return 1;
    }
    Wake wake = WaitFor(signals, watcher, -1);
    while (wake == Wake::kChange) {
      if (!watcher.Read(changed)) {
        wake = Wake::kError;
        break;
      }
      wake = WaitFor(signals, watcher, changed.empty() ? -1 : kSettleMs);
    }
    if (wake == Wake::kStop) {
      return 0;
    }
    if (wake == Wake::kError) {
      err << "quavrexc: watching failed: " << std::strerror(errno) << '\n';
      return 1;
    }
  }
}
