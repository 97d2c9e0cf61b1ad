#include "shell/main_app.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

#include "shell/dialog_template.h"
#include "shell/file_hand_over.h"
#include "shell/main_dialog.h"
#include "shell/program_icon.h"
#include "shell/settings_file.h"

namespace {

constexpr char kInstanceLockName[] = "QUAVREX_RUNNING";

// How long a second copy waits for each step of a hand-over, how long it keeps trying in all
// (the running copy may be starting, or closing so that this copy can take over), and the pause
// between tries.
constexpr int kHandOverStepMs = 5000;
constexpr int kHandOverTryMs = 10000;
constexpr int kRetryPauseMs = 100;

// Has `dialog` compile `paths` once the event loop runs: after the window is shown, and never
// inside the caller (a report box would open there).
void CompileLater(MainDialog& dialog, const std::vector<std::string>& paths) {
  QMetaObject::invokeMethod(
      &dialog, [&dialog, paths] { dialog.CompileFiles(paths); }, Qt::QueuedConnection);
}

// Files that were neither compiled nor handed over must not vanish without a word.
void ReportHandOverFailure(const std::vector<std::string>& files) {
  QString text = QString::fromUtf8("起動中の QUAVREX にファイルを渡せませんでした。");
  for (const std::string& file : files) {
    text += u'\n' + QFile::decodeName(QByteArray::fromStdString(file));
  }
  std::fprintf(stderr, "quavrex: %s\n", text.toLocal8Bit().constData());
  QMessageBox::warning(nullptr, QString::fromUtf8(kMessageCaption), text);
}

}  // namespace

MainApp::MainApp() = default;

MainApp::~MainApp() = default;

bool MainApp::AcquireInstanceLock(const QString& folder) {
  auto lock = std::make_unique<QLockFile>(folder + u'/' + QString::fromLatin1(kInstanceLockName));
  // A lock is stale only when the copy that made it is gone; a long-running copy keeps it.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    instanceLock_ = std::move(lock);
    return true;
  }
  return lock->error() != QLockFile::LockFailedError;
}

void MainApp::ServeFiles(const QString& folder, MainDialog& dialog,
                         const std::vector<std::string>& files) {
  receiver_ = std::make_unique<FileReceiver>();
  if (receiver_->Listen(folder)) {
    QObject::connect(
        receiver_.get(), &FileReceiver::FilesReceived, &dialog,
        [&dialog](const std::vector<std::string>& paths) { CompileLater(dialog, paths); });
  }
  if (!files.empty()) {
    CompileLater(dialog, files);
  }
}

bool MainApp::BecomeTheRunningCopy(const QString& folder, const std::vector<std::string>& files,
                                   bool* failed) {
  const QDeadlineTimer deadline(kHandOverTryMs);
  for (;;) {
    if (AcquireInstanceLock(folder)) {
      return true;
    }
    if (files.empty()) {
      return false;
    }
    switch (HandOverFiles(folder, files, kHandOverStepMs)) {
      case HandOverResult::kTaken:
        return false;
      case HandOverResult::kNoAnswer:
        // Sending them again could compile them twice.
        *failed = true;
        return false;
      case HandOverResult::kNoListener:
        break;
    }
    if (deadline.hasExpired()) {
      *failed = true;
      return false;
    }
    QThread::msleep(kRetryPauseMs);
  }
}

int MainApp::Run(const std::vector<std::string>& files) {
  const QString folder = InstanceLockFolder();
  bool failed = false;
  if (!BecomeTheRunningCopy(folder, files, &failed)) {
    if (failed) {
      ReportHandOverFailure(files);
      return 1;
    }
    return 0;
  }
  QApplication::setFont(ChooseDialogFont());
  QApplication::setWindowIcon(ProgramIcon());
  MainDialog dialog(LocateSettingsFiles(QCoreApplication::applicationFilePath()));
  ServeFiles(folder, dialog, files);
  dialog.exec();
  // No more files are taken once the window has closed; a copy still trying gets the lock.
  receiver_.reset();
  return 0;
}

QString InstanceLockFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

std::vector<std::string> StartupFiles(const std::vector<std::string>& args,
                                      const std::string& workingFolder) {
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (arg.empty()) {
      continue;
    }
    // Without a working folder a relative name is kept as given; it can name nothing better.
    if (arg.front() == '/' || workingFolder.empty()) {
      files.push_back(arg);
      continue;
    }
    std::string path = workingFolder;
    if (path.back() != '/') {
      path += '/';
    }
    files.push_back(path += arg);
  }
  return files;
}
