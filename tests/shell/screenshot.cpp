// Saves a picture of the whole X screen as PNG, for people to look at after the X test:
// screenshot <out.png>. Uses the X server named by DISPLAY.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshot <out.png>\n");
    return 2;
  }
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "screenshot: no screen\n");
    return 1;
  }
  const QPixmap picture = screen->grabWindow(0);
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "screenshot: could not save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
