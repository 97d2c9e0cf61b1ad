#include <QApplication>

#include "shell/main_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CMainApp program;
  return program.Run();
}
