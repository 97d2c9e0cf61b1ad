#include "shell/main_app.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include "shell/dialog_template.h"
#include "shell/main_dialog.h"
#include "shell/settings_file.h"

namespace {

constexpr char kInstanceLockName[] = "QUAVREX_RUNNING";

}  // namespace

CMainApp::CMainApp() = default;

CMainApp::~CMainApp() = default;

bool CMainApp::AcquireInstanceLock(const QString& folder) {
  auto lock = std::make_unique<QLockFile>(folder + u'/' + QString::fromLatin1(kInstanceLockName));
  // A lock is stale only when the copy that made it is gone; a long-running copy keeps it.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    m_instanceLock = std::move(lock);
    return true;
  }
  return lock->error() != QLockFile::LockFailedError;
}

int CMainApp::Run() {
  if (!AcquireInstanceLock(InstanceLockFolder())) {
    return 0;
  }
  QApplication::setFont(ChooseDialogFont());
  CMainDialog dialog(LocateSettingsFiles(QCoreApplication::applicationFilePath()));
  dialog.exec();
  return 0;
}

QString InstanceLockFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
