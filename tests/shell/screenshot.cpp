// Saves a picture of the X screen as PNG, for people to look at after the X test:
// screenshot <out.png> [x y width height]. With a rectangle, only that part of the screen is
// saved (a window). Uses the X server named by DISPLAY.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 6) {
    std::fprintf(stderr, "usage: screenshot <out.png> [x y width height]\n");
    return 2;
  }
  // The whole screen unless a rectangle is given (-1 sizes reach to the screen's edge).
  int area[4] = {0, 0, -1, -1};
  for (int i = 0; i < 4 && argc == 6; ++i) {
    area[i] = std::atoi(argv[2 + i]);
  }
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "screenshot: no screen\n");
    return 1;
  }
  const QPixmap picture = screen->grabWindow(0, area[0], area[1], area[2], area[3]);
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "screenshot: could not save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
