// Watch mode, run as the real program: it must see a save that writes the file and one that
// renames a new file over it, and end cleanly on SIGTERM.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/temp_folder.h"

namespace {

// The program's standard output, read line by line with a deadline.
class Child {
 public:
  explicit Child(const std::string& score, const char* format = "--ma1") {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      execl(QUAVREX_BINARY_DIR "/quavrexc", "quavrexc", format, "--watch", score.c_str(), nullptr);
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
  }

  // The next line without its "\n"; "" when none comes within 20 seconds.
  std::string ReadLine() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{out_, POLLIN, 0};
      if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
        return "";
      }
      char chunk[256];
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) {
        return "";
      }
      buffer_.append(chunk, static_cast<size_t>(got));
    }
  }

  // Sends `signal` and returns the exit status (-1 unless it exited).
  int Stop(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

TEST(WatchTest, CompilesOnEverySaveUntilTerminated) {
  TempFolder folder;
  const std::string score = folder.Put("song.mml", "1[CDE]");
  Child child(score);
  EXPECT_EQ(child.ReadLine(), "song.mml は正しく処理されました。");

  // Saved in place, with a fault.
  folder.Put("song.mml", "1[CDE");
  EXPECT_EQ(child.ReadLine(), "song.mml 1パートの括弧が閉じられていません。");

  // Saved as a new file renamed over the old one, as many editors do.
  const std::string fresh = folder.Put("song.mml.new", "1[C]");
  ASSERT_EQ(std::rename(fresh.c_str(), score.c_str()), 0);
  EXPECT_EQ(child.ReadLine(), "song.mml は正しく処理されました。");

  EXPECT_EQ(child.Stop(SIGTERM), 0);
}

TEST(WatchTest, WaveFileSavesCompileTheScoreThatPlaysIt) {
  TempFolder folder;
  folder.Put("chime.adp", std::string(64, '\x11'));
  Child child(folder.Put("bell.mml", "F[ S8 A<chime.adp> ] A[ A ]"), "--ma2");
  EXPECT_EQ(child.ReadLine(), "bell.mml は正しく処理されました。");
  folder.Put("chime.adp", std::string(32, '\x22'));
  EXPECT_EQ(child.ReadLine(), "bell.mml は正しく処理されました。");
  EXPECT_EQ(child.Stop(SIGTERM), 0);
}

TEST(WatchTest, InterruptEndsCleanly) {
  TempFolder folder;
  Child child(folder.Put("a.mml", "1[C]"));
  EXPECT_EQ(child.ReadLine(), "a.mml は正しく処理されました。");
  EXPECT_EQ(child.Stop(SIGINT), 0);
}

}  // namespace
