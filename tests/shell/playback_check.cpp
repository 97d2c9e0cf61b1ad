// The dialog's playback in a real X session, driven from outside: the dialog compiles the
// score given as the argument, prints where its log line is on the screen ("CLICK x y") for
// the driving script to double-click there, and ends when the tune has played: status 0 when
// it played to its end, 1 when it reported a problem or nothing started within the time limit.
//
// usage: shell_playback_check <score.mml> <settings.ini>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>
#include <string>

#include "shell/log_playback.h"
#include "shell/main_dialog.h"
#include "shell/tune_player.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: shell_playback_check <score.mml> <settings.ini>\n");
    return 2;
  }
  const QString ini = QString::fromLocal8Bit(argv[2]);
  MainDialog dialog(SettingsFiles{ini, ini});
  dialog.show();
  dialog.CompileFiles({argv[1]});

  int status = 1;
  bool started = false;
  TunePlayer& player = dialog.Playback().Player();
  QObject::connect(&player, &TunePlayer::Started, [&](const std::string& path) {
    started = true;
    std::printf("STARTED %s\n", path.c_str());
    std::fflush(stdout);
  });
  QObject::connect(&player, &TunePlayer::Problem,
                   [&](const std::string& path, const std::string& message) {
                     std::printf("PROBLEM %s %s\n", path.c_str(), message.c_str());
                     std::fflush(stdout);
                   });
  QObject::connect(&player, &TunePlayer::Ended, [&] {
    status = started ? 0 : 1;
    app.quit();
  });
  // Once the window is up, tell the script where the newest log line is.
  QTimer::singleShot(1500, [&] {
    auto* log = dialog.findChild<QPlainTextEdit*>(QStringLiteral("log"));
    QTextCursor top(log->document()->firstBlock());
    const QPoint point = log->viewport()->mapToGlobal(log->cursorRect(top).center());
    std::printf("LOG %s\nCLICK %d %d\n", log->toPlainText().toStdString().c_str(), point.x(),
                point.y());
    std::fflush(stdout);
  });
  QTimer::singleShot(60000, [&] { app.quit(); });
  app.exec();
  return status;
}
