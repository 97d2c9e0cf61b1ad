// Runs the dialog's tests inside one application object on the offscreen platform, so widgets
// can be made without a display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Also when test discovery runs the binary outside the test environment.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
