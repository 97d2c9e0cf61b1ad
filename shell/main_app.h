#ifndef QUAVREX_SHELL_MAIN_APP_H_
#define QUAVREX_SHELL_MAIN_APP_H_

#include <QString>
#include <memory>

class QLockFile;

// The program: it makes sure only one copy runs, then shows the main dialog until it closes.
class CMainApp {
 public:
  CMainApp();
  ~CMainApp();  // releases the instance lock
  CMainApp(const CMainApp&) = delete;
  CMainApp& operator=(const CMainApp&) = delete;

  // Takes the lock "QUAVREX_RUNNING" in `folder`. False only while another running copy holds
  // it; a lock left behind by a copy that no longer runs is taken over, and a folder where no
  // lock can be made at all lets the program run unguarded rather than not at all.
  bool AcquireInstanceLock(const QString& folder);

  // Runs the program in the application object already made: returns 0 at once, showing
  // nothing, when another copy runs; otherwise shows the dialog and returns 0 when it closes.
  int Run();

 private:
  std::unique_ptr<QLockFile> m_instanceLock;
};

// The folder for the instance lock: the user's runtime folder, else the temporary folder.
QString InstanceLockFolder();

#endif  // QUAVREX_SHELL_MAIN_APP_H_
