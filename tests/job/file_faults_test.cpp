// File-system faults and hostile inputs, each tried on the built command line as a careful user
// would: the program runs in a child process as an ordinary user (nobody when the tests run
// as root), with its standard output in a file, on a terminal, full or closed, and under a
// file-size limit where the case asks for one. Every case must end with its log lines at
// once: nothing lost, nothing hung, nothing aborted.
//
// Running out of memory cannot be caused in a sanitized build (its allocator ends the program
// instead of throwing), so that case is in compile_job_test.cpp with services that throw.
//
// Writers killed in the middle of a write, and file systems without unnamed files, are made
// through the seams of the file services: the job then runs in the test's own child process.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;
constexpr gid_t kUsersGroup = 100;  // a second group the ordinary user belongs to

const std::string kProgram = std::string(QUAVREX_BINARY_DIR) + "/quavrexc";
const std::string kScore = "1[CDE]";
// A score whose image is far larger than its log line.
const std::string kLongScore = "1[" + std::string(1000, 'C') + "]";
const std::string kOpenFailed = " ファイルのオープンに失敗しました。\n";
const std::string kWriteFailed = " ファイルの書き込みに失敗しました。\n";
const std::string kProcessed = " は正しく処理されました。\n";

bool IsRoot() { return ::geteuid() == 0; }

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct stat Stat(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// A folder the ordinary user owns, and the files of one case in it.
struct Sandbox {
  TempFolder temp;
  uid_t uid = IsRoot() ? kNobody : ::getuid();
  gid_t gid = IsRoot() ? kNoGroup : ::getgid();

  std::vector<int> held;       // descriptors kept open (and locks held) while the case runs
  std::set<std::string> kept;  // the temporaries a case expects to stay

  Sandbox() { Own(temp.path, uid, gid); }
  ~Sandbox() {
    for (int fd : held) {
      ::close(fd);
    }
  }
  std::string Path(const std::string& relative) const { return temp.path + "/" + relative; }
  // Writes a file that the ordinary user owns, with `mode`.
  std::string Put(const std::string& relative, const std::string& bytes, mode_t mode = 0644) {
    std::string path = temp.Put(relative, bytes);
    ::chmod(path.c_str(), mode);
    Own(path, uid, gid);
    return path;
  }
  std::string Folder(const std::string& relative, mode_t mode = 0755) {
    fs::create_directories(Path(relative));
    ::chmod(Path(relative).c_str(), mode);
    Own(Path(relative), uid, gid);
    return Path(relative);
  }
  static void Own(const std::string& path, uid_t owner, gid_t group) {
    if (::lchown(path.c_str(), owner, group) != 0) {
      ADD_FAILURE() << "cannot give " << path << " to " << owner;
    }
  }
  // Everything in the folder, without the program's output file.
  std::set<std::string> Names() const {
    std::set<std::string> names = temp.Names();
    names.erase("stdout");
    return names;
  }
  // The names in the folder that look like the program's temporary files.
  std::set<std::string> Temporaries() const {
    std::set<std::string> names;
    for (const std::string& name : Names()) {
      if (name.find("quavrex-") != std::string::npos) {
        names.insert(name);
      }
    }
    return names;
  }
};

enum class Output { kFile, kTerminal, kFull, kClosed };

// A fault of the disk under the job's writes.
enum class DiskFault {
  kNone,
  kFullAfterSomeBytes,  // writes stop with ENOSPC once 100 bytes are written
  kSyncFails,           // fsync reports EIO
};

// How the program is started for a case.
struct Start {
  bool needsRoot = false;     // the files can only be made by root; skipped otherwise
  bool asRoot = false;        // the program keeps root's rights
  bool inUsersGroup = false;  // the ordinary user is also in the group "users"
  Output output = Output::kFile;
  rlim_t fileSizeLimit = RLIM_INFINITY;
  // The job runs in the test's child, writing through named temporaries as on a file system
  // without unnamed files.
  bool namedTemporaries = false;
  // The job runs in the test's child on a disk with this fault.
  DiskFault diskFault = DiskFault::kNone;
};

struct Ran {
  int status = -1;  // the exit status; 128 + the signal when a signal ended the program
  std::string out;
  std::string err;
};

// Makes the child the ordinary user; false when that is impossible.
bool BecomeOrdinaryUser(const Start& start) {
  if (!IsRoot() || start.asRoot) {
    return true;
  }
  std::vector<gid_t> groups{kNoGroup};
  if (start.inUsersGroup) {
    groups.push_back(kUsersGroup);
  }
  return ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(kNoGroup) == 0 &&
         ::setuid(kNobody) == 0;
}

// Real files through the seams of the file services: named temporaries only, and a writer that
// is killed (SIGKILL) the moment its output has a temporary name. Log lines are printed as the
// command line prints them to a file.
class SeamServices : public FileCompileServices {
 public:
  SeamServices(bool named, bool killed, DiskFault fault = DiskFault::kNone)
      : named_(named), killed_(killed), fault_(fault) {}
  void LineLogged(const std::string& line) override {
    std::string text = line;
    std::erase(text, '\r');
    if (::write(STDOUT_FILENO, text.data(), text.size()) < 0) {
      ::_exit(124);
    }
  }
  void Sleep(int /*milliseconds*/) override {}

 protected:
  bool TriesUnnamedFiles() const override { return !named_; }
  void TemporaryNamed() override {
    if (killed_) {
      ::raise(SIGKILL);
    }
  }
  ssize_t WriteSome(int fd, const uint8_t* data, size_t size) override {
    if (fault_ != DiskFault::kFullAfterSomeBytes) {
      return FileCompileServices::WriteSome(fd, data, size);
    }
    const size_t room = 100 - std::min<size_t>(written_, 100);
    if (room == 0) {
      errno = ENOSPC;
      return -1;
    }
    const ssize_t done = FileCompileServices::WriteSome(fd, data, std::min(size, room));
    written_ += done > 0 ? static_cast<size_t>(done) : 0;
    return done;
  }
  int SyncFile(int fd) override {
    if (fault_ == DiskFault::kSyncFails) {
      errno = EIO;
      return -1;
    }
    return FileCompileServices::SyncFile(fd);
  }

 private:
  bool named_;
  bool killed_;
  DiskFault fault_;
  size_t written_ = 0;
};

// The job on every score of `args` through the seams `start` asks for; the command line's exit
// status.
int RunJobThroughSeams(const std::vector<std::string>& args, const Start& start) {
  SeamServices services(start.namedTemporaries, false, start.diskFault);
  int status = 0;
  for (const std::string& arg : args) {
    std::string log;
    if (CompileFile(arg, CompileOptions{}, log, services) != CompileOutcome::kWritten) {
      status = 1;
    }
  }
  return status;
}

// Runs the program in the sandbox with `args`; the child is stopped after 60 seconds, so a
// program that hangs fails the case instead of the test run.
Ran RunProgram(Sandbox& box, const std::vector<std::string>& args, const Start& start) {
  std::string outPath = box.Path("stdout");
  std::string errPath = box.temp.path + ".stderr";
  int terminal = -1;
  int controller = -1;
  if (start.output == Output::kTerminal) {
    EXPECT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
    termios raw{};
    ::tcgetattr(terminal, &raw);
    ::cfmakeraw(&raw);  // no "\r" added before each "\n"
    ::tcsetattr(terminal, TCSANOW, &raw);
  }
  pid_t child = ::fork();
  if (child == 0) {
    int out = start.output == Output::kFull   ? ::open("/dev/full", O_WRONLY)
              : start.output == Output::kFile ? ::open(outPath.c_str(), O_WRONLY | O_CREAT, 0644)
                                              : terminal;
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (start.output == Output::kClosed) {
      ::close(STDOUT_FILENO);
    } else {
      ::dup2(out, STDOUT_FILENO);
    }
    ::dup2(err, STDERR_FILENO);
    rlimit limit{start.fileSizeLimit, start.fileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (!BecomeOrdinaryUser(start) || ::chdir(box.temp.path.c_str()) != 0) {
      ::_exit(125);
    }
    std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::alarm(60);
    if (start.namedTemporaries || start.diskFault != DiskFault::kNone) {
      ::_exit(RunJobThroughSeams(args, start));
    }
    ::execv(kProgram.c_str(), argv.data());
    ::_exit(126);
  }
  Ran ran;
  int wait = 0;
  ::waitpid(child, &wait, 0);
  ran.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
  if (start.output == Output::kTerminal) {
    ::close(terminal);
    char buffer[4096];
    for (ssize_t got; (got = ::read(controller, buffer, sizeof buffer)) > 0;) {
      ran.out.append(buffer, static_cast<size_t>(got));
    }
    ::close(controller);
  } else {
    ran.out = Contents(outPath);
  }
  ran.err = Contents(errPath);
  ::unlink(errPath.c_str());
  return ran;
}

// A folder under the sandbox whose path has `pathSize` bytes, made of names of at most 255.
std::string LongFolder(Sandbox& box, size_t pathSize) {
  std::string relative;
  size_t left = pathSize - box.temp.path.size() - 1;
  while (left > 255) {
    relative += std::string(100, 'd') + "/";
    left -= 101;
  }
  relative += std::string(left, 'd');
  box.Folder(relative);
  return box.Path(relative);
}

// Starts a writer of `relative` as the ordinary user and kills it (SIGKILL) the moment its output
// has a temporary name; `named` as on a file system without unnamed files. The temporary it
// leaves behind is the one stray file the folder gets.
void KilledWriter(Sandbox& box, const std::string& relative, bool named) {
  const std::set<std::string> before = box.Temporaries();
  pid_t child = ::fork();
  if (child == 0) {
    SeamServices services(named, true);
    if (!BecomeOrdinaryUser({})) {
      ::_exit(125);
    }
    services.WriteWholeFile(box.Path(relative), Bytes{'M', 'M', 'M', 'D'});
    ::_exit(0);
  }
  int wait = 0;
  ::waitpid(child, &wait, 0);
  EXPECT_TRUE(WIFSIGNALED(wait) && WTERMSIG(wait) == SIGKILL)
      << (WIFEXITED(wait) && WEXITSTATUS(wait) == 125 ? "cannot run as an ordinary user (nobody)"
                                                      : "the writer was not killed");
  EXPECT_EQ(box.Temporaries().size(), before.size() + 1);
}

// The id of a process that has ended.
std::string EndedProcess() {
  pid_t child = ::fork();
  if (child == 0) {
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  return std::to_string(child);
}

struct FaultCase {
  const char* name;
  Start start;
  // Makes the files of the case and returns the program's arguments.
  std::function<std::vector<std::string>(Sandbox&)> setup;
  int status;
  std::string out;
  std::string err;
  // Checks the files afterwards.
  std::function<void(Sandbox&)> check;
};

// The score "good.mml" after a fault shows that the batch went on.
std::string PutGood(Sandbox& box) { return box.Put("good.mml", kScore); }
void GoodWritten(Sandbox& box) { EXPECT_TRUE(fs::is_regular_file(box.Path("good.MMF"))); }

const FaultCase kFaultCases[] = {
    // ---- Scores that are not regular files fail at once; the batch goes on ----------------
    {"a named pipe",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       ::mkfifo(box.Path("pipe.mml").c_str(), 0644);
       return {box.Path("pipe.mml"), PutGood(box)};
     },
     1,
     "pipe.mml" + kOpenFailed + "good.mml" + kProcessed,
     "",
     GoodWritten},
    {"a link to a character device",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       fs::create_symlink("/dev/zero", box.Path("zero.mml"));
       return {box.Path("zero.mml"), PutGood(box)};
     },
     1,
     "zero.mml" + kOpenFailed + "good.mml" + kProcessed,
     "",
     GoodWritten},
    {"a score gone before its turn",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       return {box.Path("gone.mml"), PutGood(box)};
     },
     1,
     "gone.mml" + kOpenFailed + "good.mml" + kProcessed,
     "",
     GoodWritten},

    // ---- Targets the user may not replace -------------------------------------------------
    {"a read-only target of the user (three attempts, then the old file untouched)",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old", 0444);
       return {box.Put("song.mml", kScore)};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
     }},
    {"a target another user owns",
     {.needsRoot = true},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string target = box.Put("song.MMF", "old", 0644);
       Sandbox::Own(target, 0, 0);
       return {box.Put("song.mml", kScore)};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) { EXPECT_EQ(Contents(box.Path("song.MMF")), "old"); }},

    // ---- A replaced target keeps its mode, group and owner --------------------------------
    {"mode 640 kept",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old", 0640);
       return {box.Put("song.mml", kScore)};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Stat(box.Path("song.MMF")).st_mode & 07777, 0640u);
       EXPECT_NE(Contents(box.Path("song.MMF")), "old");
     }},
    {"a group the user belongs to kept",
     {.needsRoot = true, .inUsersGroup = true},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string target = box.Put("song.MMF", "old", 0664);
       Sandbox::Own(target, box.uid, kUsersGroup);
       return {box.Put("song.mml", kScore)};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Stat(box.Path("song.MMF")).st_gid, kUsersGroup);
       EXPECT_EQ(Stat(box.Path("song.MMF")).st_mode & 07777, 0664u);
     }},
    {"root keeps another user's ownership",
     {.needsRoot = true, .asRoot = true},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string target = box.Put("song.MMF", "old", 0604);
       Sandbox::Own(target, kNobody, kUsersGroup);
       return {box.Put("song.mml", kScore)};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       struct stat info = Stat(box.Path("song.MMF"));
       EXPECT_EQ(info.st_uid, kNobody);
       EXPECT_EQ(info.st_gid, kUsersGroup);
       EXPECT_EQ(info.st_mode & 07777, 0604u);
     }},

    // ---- Links are written through ---------------------------------------------------------
    {"a link (through a second, relative one) to a file elsewhere",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Folder("elsewhere");
       box.Put("elsewhere/real.MMF", "old", 0600);
       fs::create_symlink("real.MMF", box.Path("elsewhere/hop.MMF"));
       fs::create_symlink("elsewhere/hop.MMF", box.Path("song.MMF"));
       return {box.Put("song.mml", kScore)};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_TRUE(fs::is_symlink(box.Path("song.MMF")));
       EXPECT_TRUE(fs::is_symlink(box.Path("elsewhere/hop.MMF")));
       EXPECT_EQ(Contents(box.Path("elsewhere/real.MMF")).substr(0, 4), "MMMD");
       EXPECT_EQ(Stat(box.Path("elsewhere/real.MMF")).st_mode & 07777, 0600u);
       EXPECT_EQ(std::distance(fs::directory_iterator(box.Path("elsewhere")), {}), 2);
     }},
    {"a dangling link",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Folder("elsewhere");
       fs::create_symlink(box.Path("elsewhere/new.MMF"), box.Path("song.MMF"));
       return {box.Put("song.mml", kScore)};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_TRUE(fs::is_symlink(box.Path("song.MMF")));
       EXPECT_EQ(Contents(box.Path("elsewhere/new.MMF")).substr(0, 4), "MMMD");
     }},

    // ---- Folders where no new file can be made ---------------------------------------------
    {"a read-only folder with a writable target: rewritten in place",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Folder("ro");
       box.Put("ro/song.MMF", "old", 0640);
       std::string score = box.Put("ro/song.mml", kScore);
       ::chmod(box.Path("ro").c_str(), 0555);
       return {score};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("ro/song.MMF")).substr(0, 4), "MMMD");
       EXPECT_EQ(Stat(box.Path("ro/song.MMF")).st_mode & 07777, 0640u);
       ::chmod(box.Path("ro").c_str(), 0755);
     }},
    {"a read-only folder without a target",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Folder("ro");
       std::string score = box.Put("ro/song.mml", kScore);
       ::chmod(box.Path("ro").c_str(), 0555);
       return {score};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(std::distance(fs::directory_iterator(box.Path("ro")), {}), 1);
       ::chmod(box.Path("ro").c_str(), 0755);
     }},

    // ---- Limits ----------------------------------------------------------------------------
    {"a file-size limit: the write fails, nothing is left behind",
     {.fileSizeLimit = 512},  // above the log, below the image
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old");
       return {box.Put("song.mml", kLongScore), box.Put("good.mml", kLongScore)};
     },
     1,
     "song.mml" + kWriteFailed + "good.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.mml", "song.MMF", "good.mml"}));
     }},
    {"a score path of the longest length allowed",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string folder = LongFolder(box, PATH_MAX - 1 - std::string("/x.mml").size());
       return {box.Put(folder.substr(box.temp.path.size() + 1) + "/x.mml", kScore)};
     },
     0,
     "x.mml" + kProcessed,
     "",
     nullptr},
    {"a wave beyond the image's limit is not read",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string wave = box.Put("big.adp", "");
       EXPECT_EQ(::truncate(wave.c_str(), 150 << 20), 0);  // sparse: no disk space taken
       return {"--ma2", box.Put("song.mml", "F[A<big.adp>]A[A]"), PutGood(box)};
     },
     1,
     "song.mml データが大きすぎます。\ngood.mml" + kProcessed,
     "",
     [](Sandbox& box) { EXPECT_FALSE(fs::exists(box.Path("song.MMF"))); }},

    // ---- Writers killed while writing: the next write into the folder sweeps ---------------
    {"a writer killed once its complete output has a temporary name",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old");
       KilledWriter(box, "song.MMF", false);
       return {PutGood(box)};
     },
     0,
     "good.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.MMF", "good.mml", "good.MMF"}));
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
     }},
    {"a writer killed while writing a named temporary, swept by one that writes named too",
     {.namedTemporaries = true},
     [](Sandbox& box) -> std::vector<std::string> {
       KilledWriter(box, "song.MMF", true);
       return {PutGood(box)};
     },
     0,
     "good.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(box.Names(), (std::set<std::string>{"good.mml", "good.MMF"}));
     }},
    {"temporaries that no dead writer of the user left stay",
     {},
     [](Sandbox& box) -> std::vector<std::string> {
       const std::string ended = EndedProcess();
       box.Put(".quavrex-" + ended + "-0.tmp", "stale: goes");
       // The test itself is a live writer (another user's when it runs as root).
       box.kept.insert(".quavrex-" + std::to_string(::getpid()) + "-0.tmp");
       // A writer whose process cannot be seen (another pid namespace) holds its lock.
       box.kept.insert(".quavrex-" + ended + "-1.tmp");
       // Not regular files, or a file with a second name.
       box.kept.insert(".quavrex-" + ended + "-2.tmp");
       box.kept.insert(".quavrex-" + ended + "-3.tmp");
       box.kept.insert(".quavrex-" + ended + "-4.tmp");
       // Names that are nearly the program's.
       box.kept.insert(".quavrex-" + ended + "-0.tmp~");
       box.kept.insert(".quavrex-0-0.tmp");
       box.kept.insert("quavrex-" + ended + "-0.tmp");
       for (const std::string& name : box.kept) {
         box.Put(name, "kept");
       }
       box.held.push_back(::open(box.Path(".quavrex-" + ended + "-1.tmp").c_str(), O_RDONLY));
       EXPECT_EQ(::flock(box.held.back(), LOCK_EX), 0);
       fs::remove(box.Path(".quavrex-" + ended + "-2.tmp"));
       box.Folder(".quavrex-" + ended + "-2.tmp");
       fs::remove(box.Path(".quavrex-" + ended + "-3.tmp"));
       fs::create_symlink("good.mml", box.Path(".quavrex-" + ended + "-3.tmp"));
       Sandbox::Own(box.Path(".quavrex-" + ended + "-3.tmp"), box.uid, box.gid);
       EXPECT_EQ(
           ::link(box.Path(".quavrex-" + ended + "-4.tmp").c_str(), box.Path("also.MMF").c_str()),
           0);
       return {PutGood(box)};
     },
     0,
     "good.mml" + kProcessed,
     "",
     [](Sandbox& box) { EXPECT_EQ(box.Temporaries(), box.kept); }},
    {"another user's stale temporary stays",
     {.needsRoot = true},
     [](Sandbox& box) -> std::vector<std::string> {
       std::string name = ".quavrex-" + EndedProcess() + "-0.tmp";
       Sandbox::Own(box.Put(name, "root's"), 0, 0);
       box.kept.insert(name);
       return {PutGood(box)};
     },
     0,
     "good.mml" + kProcessed,
     "",
     [](Sandbox& box) { EXPECT_EQ(box.Temporaries(), box.kept); }},

    // ---- File systems without unnamed files: named temporaries -----------------------------
    {"named temporaries: a new target, and a replaced one keeping its mode",
     {.namedTemporaries = true},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old", 0640);
       return {box.Put("song.mml", kScore), PutGood(box)};
     },
     0,
     "song.mml" + kProcessed + "good.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(box.Names(),
                 (std::set<std::string>{"song.mml", "song.MMF", "good.mml", "good.MMF"}));
       EXPECT_EQ(Contents(box.Path("song.MMF")).substr(0, 4), "MMMD");
       EXPECT_EQ(Stat(box.Path("song.MMF")).st_mode & 07777, 0640u);
     }},
    {"named temporaries under a file-size limit: removed, the old file untouched",
     {.fileSizeLimit = 512, .namedTemporaries = true},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old");
       return {box.Put("song.mml", kLongScore)};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
     }},
    // ---- A disk that fails under the write: the old file stays ------------------------------
    {"the disk full part way through the write",
     {.diskFault = DiskFault::kFullAfterSomeBytes},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old");
       return {box.Put("song.mml", kLongScore)};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
     }},
    {"fsync fails after a complete write",
     {.diskFault = DiskFault::kSyncFails},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Put("song.MMF", "old");
       return {box.Put("song.mml", kScore)};
     },
     1,
     "song.mml" + kWriteFailed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("song.MMF")), "old");
       EXPECT_EQ(box.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
     }},
    {"named temporaries in a read-only folder: rewritten in place",
     {.namedTemporaries = true},
     [](Sandbox& box) -> std::vector<std::string> {
       box.Folder("ro");
       box.Put("ro/song.MMF", "old", 0640);
       std::string score = box.Put("ro/song.mml", kScore);
       ::chmod(box.Path("ro").c_str(), 0555);
       return {score};
     },
     0,
     "song.mml" + kProcessed,
     "",
     [](Sandbox& box) {
       EXPECT_EQ(Contents(box.Path("ro/song.MMF")).substr(0, 4), "MMMD");
       EXPECT_EQ(std::distance(fs::directory_iterator(box.Path("ro")), {}), 2);
       ::chmod(box.Path("ro").c_str(), 0755);
     }},

    // ---- Standard output ---------------------------------------------------------------------
    {"standard output full",
     {.output = Output::kFull},
     [](Sandbox& box) -> std::vector<std::string> { return {PutGood(box)}; },
     1,
     "",
     "quavrexc: write error: No space left on device\n",
     GoodWritten},
    {"standard output closed",
     {.output = Output::kClosed},
     [](Sandbox& box) -> std::vector<std::string> { return {PutGood(box)}; },
     1,
     "",
     "quavrexc: write error: Bad file descriptor\n",
     [](Sandbox& box) {
       GoodWritten(box);
       EXPECT_EQ(box.Names(), (std::set<std::string>{"good.mml", "good.MMF"}));
     }},
    {"control characters on a terminal",
     {.output = Output::kTerminal},
     [](Sandbox& box) -> std::vector<std::string> {
       return {box.Put("a\x1b[2Jb\nc\x7f.mml", kScore), box.Put("d\xc2\x9b.mml", kScore)};
     },
     0,
     "a\\x1B[2Jb\\x0Ac\\x7F.mml" + kProcessed + "d\\xC2\\x9B.mml" + kProcessed,
     "",
     nullptr},
    {"control characters into a file are kept",
     {},
     [](Sandbox& box) -> std::vector<std::string> { return {box.Put("a\x1b[2Jb\nc.mml", kScore)}; },
     0,
     "a\x1b[2Jb\nc.mml" + kProcessed,
     "",
     nullptr},
};

TEST(FileFaultsTest, EveryFaultEndsWithItsLogLines) {
  for (const FaultCase& c : kFaultCases) {
    SCOPED_TRACE(c.name);
    if (c.start.needsRoot && !IsRoot()) {
      std::cout << "[ SKIPPED  ] " << c.name << ": only root can give files away\n";
      continue;
    }
    Sandbox box;
    std::vector<std::string> args = c.setup(box);
    Ran ran = RunProgram(box, args, c.start);
    ASSERT_NE(ran.status, 125) << "cannot run as an ordinary user (nobody)";
    EXPECT_EQ(ran.status, c.status);
    EXPECT_EQ(ran.out, c.out);
    EXPECT_EQ(ran.err, c.err);
    if (c.check) {
      c.check(box);
    }
  }
}

TEST(FileFaultsTest, ALongBatchPrintsEveryLineInOrder) {
  Sandbox box;
  std::vector<std::string> args;
  std::string expected;
  for (int i = 0; i < 10000; ++i) {
    args.push_back("n" + std::to_string(i) + ".txt");
    expected += args.back() + " は処理されませんでした。\n";
  }
  Ran ran = RunProgram(box, args, {});
  EXPECT_EQ(ran.status, 1);
  EXPECT_TRUE(ran.out == expected);  // not printed: ten thousand lines
  EXPECT_EQ(ran.err, "");
}

}  // namespace
