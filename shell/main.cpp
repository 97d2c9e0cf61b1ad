#include <QApplication>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "shell/main_app.h"

int main(int argc, char** argv) {
  // Qt takes its own options out of argv here; what is left names score files.
  QApplication application(argc, argv);
  std::error_code error;
  const std::string workingFolder = std::filesystem::current_path(error).string();
  MainApp program;
  return program.Run(StartupFiles(std::vector<std::string>(argv + 1, argv + argc), workingFolder));
}
