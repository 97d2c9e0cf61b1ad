#ifndef QUAVREX_SHELL_MAIN_APP_H_
#define QUAVREX_SHELL_MAIN_APP_H_

#include <QString>
#include <memory>
#include <string>
#include <vector>

class FileReceiver;
class MainDialog;
class QLockFile;

// The program: it makes sure only one copy runs, then shows the main dialog until it closes.
// Score files named on the command line are compiled as if dropped; a second copy given files
// hands them to the running one instead.
class MainApp {
 public:
  MainApp();
  ~MainApp();  // releases the instance lock
  MainApp(const MainApp&) = delete;
  MainApp& operator=(const MainApp&) = delete;

  // Takes the lock "QUAVREX_RUNNING" in `folder`. False only while another running copy holds
  // it; a lock left behind by a copy that no longer runs is taken over, and a folder where no
  // lock can be made at all lets the program run unguarded rather than not at all.
  bool AcquireInstanceLock(const QString& folder);

  // With the lock held: listens in `folder` for files handed over by other copies and has
  // `dialog` compile them, and the `files` given, each list in its order, once the event loop
  // runs. Without a socket the dialog still compiles `files`.
  void ServeFiles(const QString& folder, MainDialog& dialog, const std::vector<std::string>& files);

  // Runs the program in the application object already made, with the score files of its
  // command line (absolute paths, see StartupFiles). When another copy runs, hands `files` to it
  // and returns 0, showing nothing, or returns 0 at once when there are none; when the files
  // cannot be handed over, says so and returns 1. Otherwise shows the dialog and returns 0 when
  // it closes.
  int Run(const std::vector<std::string>& files);

 private:
  // Returns true when this copy should run the dialog (the lock is taken), false once the files
  // are with the running copy; sets `failed` when they could not be handed over.
  bool BecomeTheRunningCopy(const QString& folder, const std::vector<std::string>& files,
                            bool* failed);

  std::unique_ptr<QLockFile> instanceLock_;
  std::unique_ptr<FileReceiver> receiver_;
};

// The folder for the instance lock: the user's runtime folder, else the temporary folder.
QString InstanceLockFolder();

// The score files named by the program's arguments (`args`, after Qt has taken its own), as
// the bytes the file system names them by, made absolute against `workingFolder` so that the
// running copy, whose working folder may differ, finds them. Empty arguments name nothing.
// Without a working folder (empty `workingFolder`) names are kept as given.
std::vector<std::string> StartupFiles(const std::vector<std::string>& args,
                                      const std::string& workingFolder);

#endif  // QUAVREX_SHELL_MAIN_APP_H_
