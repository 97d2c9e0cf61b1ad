#include "shell/main_app.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell/file_hand_over.h"
#include "shell/main_dialog.h"
#include "shell/settings_file.h"

namespace {

QString LockPath(const QTemporaryDir& folder) {
  return folder.filePath(QStringLiteral("QUAVREX_RUNNING"));
}

TEST(InstanceLockTest, SecondCopyIsRefusedWhileTheFirstRuns) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  MainApp first;
  ASSERT_TRUE(first.AcquireInstanceLock(folder.path()));
  EXPECT_TRUE(QFileInfo::exists(LockPath(folder)));
  MainApp second;
  EXPECT_FALSE(second.AcquireInstanceLock(folder.path()));
}

TEST(InstanceLockTest, LockIsReleasedWhenTheProgramEnds) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  {
    MainApp first;
    ASSERT_TRUE(first.AcquireInstanceLock(folder.path()));
  }
  EXPECT_FALSE(QFileInfo::exists(LockPath(folder)));
  MainApp next;
  EXPECT_TRUE(next.AcquireInstanceLock(folder.path()));
}

TEST(InstanceLockTest, LockOfACrashedCopyDoesNotBlockTheStart) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  // What a copy that died without cleaning up leaves: its process id (long gone), program
  // name and host.
  QFile lock(LockPath(folder));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write("99999999\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
             QSysInfo::machineHostName().toUtf8() + "\n");
  lock.close();
  MainApp program;
  EXPECT_TRUE(program.AcquireInstanceLock(folder.path()));
}

TEST(InstanceLockTest, FolderWithoutRoomForALockStillLetsTheProgramRun) {
  MainApp program;
  EXPECT_TRUE(program.AcquireInstanceLock(QStringLiteral("/nonexistent/quavrex-runtime")));
}

// Program arguments -> the files handed to the dialog.
struct StartupCase {
  std::vector<std::string> args;
  const char* workingFolder;
  std::vector<std::string> files;
};

const StartupCase kStartupCases[] = {
    // absolute names are kept, relative ones are taken from the working folder, in order
    {{"/home/u/b.mml", "a.MUS", "sub/c.mml"},
     "/home/u/work",
     {"/home/u/b.mml", "/home/u/work/a.MUS", "/home/u/work/sub/c.mml"}},
    {{"./a.mml", "../b.mml"}, "/home/u", {"/home/u/./a.mml", "/home/u/../b.mml"}},
    // the root folder gets no second slash; names keep their bytes
    {{"a.mml", "\x8B\xC8.mml"}, "/", {"/a.mml", "/\x8B\xC8.mml"}},
    // an empty argument names nothing
    {{"", "a.mml"}, "/w", {"/w/a.mml"}},
    {{}, "/w", {}},
    // a working folder that could not be read leaves relative names as given
    {{"a.mml", "/b.mml"}, "", {"a.mml", "/b.mml"}},
};

TEST(StartupFilesTest, NamesAreMadeAbsoluteForTheRunningCopy) {
  for (const StartupCase& c : kStartupCases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(StartupFiles(c.args, c.workingFolder), c.files);
  }
}

// The running copy's dialog, keeping the reports it would show.
class ServedDialog : public MainDialog {
 public:
  using MainDialog::MainDialog;
  std::function<void()> whileReportShown_;

 protected:
  void ShowInformation(const QString& /*text*/) override {
    if (whileReportShown_) {
      std::exchange(whileReportShown_, nullptr)();
    }
  }
};

class ServeFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    const QString ini = folder_.filePath(QStringLiteral("quavrex.ini"));
    dialog_ = std::make_unique<ServedDialog>(SettingsFiles{ini, ini});
    for (const char* name : {"a.mml", "b.mml", "c.mml", "d.mml"}) {
      Write(name, "1[T120 O4 L4 CDEF]\r\n");
    }
    Write("low.mml", "1[O2 L4 B]\r\n");  // below the range of voice 0: a range report
  }

  void Write(const char* name, const char* text) {
    QFile file(folder_.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  std::string PathOf(const char* name) const {
    return QFile::encodeName(folder_.filePath(QString::fromLatin1(name))).toStdString();
  }

  // The files named in the log, oldest first.
  std::vector<std::string> CompiledInOrder() const {
    std::vector<std::string> names;
    const std::string& log = dialog_->log_;
    for (size_t start = 0; start < log.size();) {
      const size_t end = log.find("\r\n", start);
      names.insert(names.begin(), log.substr(start, log.find(' ', start) - start));
      start = end == std::string::npos ? log.size() : end + 2;
    }
    return names;
  }

  // Lets the event loop run until `done` or ten seconds have passed.
  static void ProcessEventsUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(2);
    }
  }

  QTemporaryDir folder_;
  std::unique_ptr<ServedDialog> dialog_;
};

TEST_F(ServeFilesTest, FilesOfTheCommandLineAndOfOtherCopiesAreCompiledInOrder) {
  MainApp program;
  ASSERT_TRUE(program.AcquireInstanceLock(folder_.path()));
  program.ServeFiles(folder_.path(), *dialog_, {PathOf("b.mml"), PathOf("a.mml")});
  // Nothing is compiled before the event loop runs (the window is shown first).
  EXPECT_TRUE(dialog_->log_.empty());
  ProcessEventsUntil([&] { return CompiledInOrder().size() == 2; });
  EXPECT_EQ(CompiledInOrder(), (std::vector<std::string>{"b.mml", "a.mml"}));

  // A second copy started with files: it cannot take the lock and hands them over.
  MainApp second;
  EXPECT_FALSE(second.AcquireInstanceLock(folder_.path()));
  const QString folder = folder_.path();
  const std::vector<std::string> handed = {PathOf("d.mml"), PathOf("c.mml")};
  auto result = std::async(std::launch::async, [&] { return HandOverFiles(folder, handed, 5000); });
  ProcessEventsUntil([&] {
    return result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready &&
           CompiledInOrder().size() == 4;
  });
  EXPECT_EQ(result.get(), HandOverResult::kTaken);
  EXPECT_EQ(CompiledInOrder(), (std::vector<std::string>{"b.mml", "a.mml", "d.mml", "c.mml"}));
}

TEST_F(ServeFilesTest, FilesHandedOverWhileAReportIsOpenFollowTheBatch) {
  dialog_->findChild<QCheckBox*>(QStringLiteral("octaveCheck"))->click();
  dialog_->whileReportShown_ = [&] { dialog_->CompileFiles({PathOf("c.mml")}); };
  dialog_->CompileFiles({PathOf("low.mml"), PathOf("a.mml")});
  EXPECT_EQ(CompiledInOrder(), (std::vector<std::string>{"low.mml", "a.mml", "c.mml"}));
  // The batch is over: the next files make a batch of their own.
  dialog_->CompileFiles({PathOf("b.mml")});
  EXPECT_EQ(CompiledInOrder().back(), "b.mml");
}

}  // namespace
