#include "shell/main_app.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>

namespace {

QString LockPath(const QTemporaryDir& folder) {
  return folder.filePath(QStringLiteral("QUAVREX_RUNNING"));
}

TEST(InstanceLockTest, SecondCopyIsRefusedWhileTheFirstRuns) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  CMainApp first;
  ASSERT_TRUE(first.AcquireInstanceLock(folder.path()));
  EXPECT_TRUE(QFileInfo::exists(LockPath(folder)));
  CMainApp second;
  EXPECT_FALSE(second.AcquireInstanceLock(folder.path()));
}

TEST(InstanceLockTest, LockIsReleasedWhenTheProgramEnds) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  {
    CMainApp first;
    ASSERT_TRUE(first.AcquireInstanceLock(folder.path()));
  }
  EXPECT_FALSE(QFileInfo::exists(LockPath(folder)));
  CMainApp next;
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
  CMainApp program;
  EXPECT_TRUE(program.AcquireInstanceLock(folder.path()));
}

TEST(InstanceLockTest, FolderWithoutRoomForALockStillLetsTheProgramRun) {
  CMainApp program;
  EXPECT_TRUE(program.AcquireInstanceLock(QStringLiteral("/nonexistent/quavrex-runtime")));
}

}  // namespace
