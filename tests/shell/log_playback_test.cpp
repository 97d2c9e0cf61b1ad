// Listening from the log: which log line plays which .MMF, the double-click, a missing audio
// device reported in the log instead of a hang, and the WAVE and MIDI files written beside the
// .MMF from the log's context menu.

#include "shell/log_playback.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>
#include <string>

#include "shell/main_dialog.h"
#include "shell/tune_player.h"

namespace {

class LogPlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    // No sound server answers, so the audio output has no device.
    qputenv("PULSE_SERVER", "unix:/nonexistent/quavrex-test");
    const QString ini = folder_.filePath(QStringLiteral("quavrex.ini"));
    dialog_ = std::make_unique<MainDialog>(SettingsFiles{ini, ini});
  }

  std::string Put(const char* name, const std::string& text) {
    QFile file(folder_.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    return file.fileName().toStdString();
  }

  QString LogLine(int line) const {
    auto* log = dialog_->findChild<QPlainTextEdit*>(QStringLiteral("log"));
    return log->document()->findBlockByNumber(line).text();
  }

  // Opens the log's context menu on log line `line`, notes its entries ("-" before a disabled
  // one) and chooses the entry `choice` as Return on it would, or none when it is null.
  QString ChooseFromMenu(int line, const char* choice) {
    auto* log = dialog_->findChild<QPlainTextEdit*>(QStringLiteral("log"));
    const QTextBlock block = log->document()->findBlockByNumber(line);
    QString entries;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions()) {
        entries += (action->isEnabled() ? "" : "-") + action->text() + " ";
        if (choice != nullptr && action->text() == QString::fromUtf8(choice)) {
          menu->setActiveAction(action);
        }
      }
      QKeyEvent key(QEvent::KeyPress, choice != nullptr ? Qt::Key_Return : Qt::Key_Escape,
                    Qt::NoModifier);
      QApplication::sendEvent(menu, &key);
    });
    emit log->customContextMenuRequested(log->cursorRect(QTextCursor(block)).center());
    return entries.trimmed();
  }

  // Lets the window's thread run until the saves started have reported (at most 60 s).
  void WaitForSaves() {
    QElapsedTimer timer;
    timer.start();
    while (dialog_->Playback().IsSaving() && timer.elapsed() < 60000) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(dialog_->Playback().IsSaving());
  }

  QTemporaryDir folder_;
  std::unique_ptr<MainDialog> dialog_;
};

// A dropped MIDI file becomes the score beside it, which is compiled: the conversion's line
// comes first, the compile's line plays the tune; a second drop keeps the score.
TEST_F(LogPlaybackTest, ADroppedMidiFileBecomesItsScoreAndIsCompiled) {
  const std::string midi = Put("tune.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60"
                                                       "MTrk\0\0\0\x0C\0\x90\x3C\x64\x60"
                                                       "\x80\x3C\0\0\xFF\x2F\0",
                                                       34));
  dialog_->CompileFiles({midi});
  EXPECT_EQ(LogLine(0), QString::fromUtf8("tune.mml は正しく処理されました。"));
  EXPECT_EQ(LogLine(1), QString::fromUtf8("tune.mml は正しく書き出されました。"));
  EXPECT_EQ(dialog_->Playback().MmfOfLine(0), midi.substr(0, midi.size() - 4) + ".MMF");
  EXPECT_EQ(dialog_->Playback().MmfOfLine(1), "");
  dialog_->CompileFiles({midi});
  EXPECT_EQ(LogLine(0), QString::fromUtf8("tune.mml はすでにあるため書き出しませんでした。"));
}

TEST_F(LogPlaybackTest, LinesKnowTheirTuneAndANoDeviceLineIsAdded) {
  const std::string good = Put("good.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  const std::string bad = Put("bad.mml", "1[V16C]");
  dialog_->CompileFiles({good, bad});
  LogPlayback& playback = dialog_->Playback();
  // Newest first: the failed compile, then the written one.
  EXPECT_EQ(playback.MmfOfLine(0), "");
  EXPECT_EQ(playback.MmfOfLine(1), good.substr(0, good.size() - 4) + ".MMF");
  EXPECT_EQ(playback.MmfOfLine(2), "");  // below the last line

  // Double-clicking the failed compile's line does nothing; the written one's plays, which
  // here can only report the missing device.
  auto* log = dialog_->findChild<QPlainTextEdit*>(QStringLiteral("log"));
  const auto doubleClick = [&](int line) {
    const QTextBlock block = log->document()->findBlockByNumber(line);
    const QPointF at = log->cursorRect(QTextCursor(block)).center();
    QMouseEvent click(QEvent::MouseButtonDblClick, at, log->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(log->viewport(), &click);
  };
  doubleClick(0);
  EXPECT_FALSE(playback.Player().IsBusy());
  EXPECT_TRUE(LogLine(0).startsWith(QStringLiteral("bad.mml")));
  doubleClick(1);
  EXPECT_EQ(LogLine(0), QString::fromUtf8("good.MMF 音声出力デバイスが見つかりません。"));
  EXPECT_FALSE(playback.Player().IsBusy());
  // The new line has no tune; the written compile's line moved down with its tune.
  EXPECT_EQ(playback.MmfOfLine(0), "");
  EXPECT_EQ(playback.MmfOfLine(2), good.substr(0, good.size() - 4) + ".MMF");

  // A pipe in the tune's place is refused at once rather than waited on.
  const std::string mmf = playback.MmfOfLine(2);
  ASSERT_EQ(std::remove(mmf.c_str()), 0);
  ASSERT_EQ(::mkfifo(mmf.c_str(), 0600), 0);
  doubleClick(2);
  EXPECT_EQ(LogLine(0), QString::fromUtf8("good.MMF ファイルのオープンに失敗しました。"));
  EXPECT_FALSE(playback.Player().IsBusy());
}

TEST_F(LogPlaybackTest, SavesTheWaveFileBesideTheTune) {
  const std::string score = Put("tune.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  dialog_->CompileFiles({score});
  // Off the window's thread: the call returns at once and the line comes when it is done.
  dialog_->Playback().SaveWavOfLine(0);
  EXPECT_TRUE(dialog_->Playback().IsSaving());
  EXPECT_TRUE(LogLine(0).startsWith(QStringLiteral("tune.mml")));
  WaitForSaves();
  EXPECT_EQ(LogLine(0), QString::fromUtf8("tune.wav は正しく書き出されました。"));
  QFile wav(folder_.filePath(QStringLiteral("tune.wav")));
  ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
  EXPECT_TRUE(wav.read(4) == "RIFF");
  EXPECT_GT(wav.size(), 44100);  // about a second of 16-bit samples
  EXPECT_EQ(dialog_->Playback().MmfOfLine(0), "");
  EXPECT_NE(dialog_->Playback().MmfOfLine(1), "");
}

// The menu's saving entries: each writes its file beside the .MMF of the line it was opened
// on and reports it on top of the log, in a line of its own that plays nothing, while the
// compile lines keep their tunes and their faults' places.
TEST_F(LogPlaybackTest, MenuSavesWaveAndMidiFilesBesideTheTune) {
  const std::string score = Put("tune.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  dialog_->CompileFiles({score, Put("bad.mml", "1[V16C]")});
  EXPECT_EQ(ChooseFromMenu(0, nullptr),
            QString::fromUtf8(
                "-再生 -停止 -WAVで保存 -パート別WAVで保存 -MIDIで保存"));  // no tune on this line
  struct Case {
    const char* entry;
    const char* file;
    const char* magic;
    const char* line;  // the newest
    int lines;         // lines added
  };
  const Case cases[] = {
      {"WAVで保存", "tune.wav", "RIFF", "tune.wav は正しく書き出されました。", 1},
      // the whole tune, then its one part
      {"パート別WAVで保存", "tune.part01.wav", "RIFF", "tune.part01.wav は正しく書き出されました。",
       2},
      {"MIDIで保存", "tune.mid", "MThd", "tune.mid は正しく書き出されました。", 1},
  };
  int tuneLine = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(ChooseFromMenu(tuneLine, c.entry),
              QString::fromUtf8("再生 -停止 WAVで保存 パート別WAVで保存 MIDIで保存"));
    WaitForSaves();
    EXPECT_EQ(LogLine(0), QString::fromUtf8(c.line));
    QFile saved(folder_.filePath(QString::fromLatin1(c.file)));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.startsWith(c.magic));
    if (bytes.startsWith("MThd")) {
      // The score's tempo, as "--midi" gives it: T150 is 400000 µs a quarter note.
      EXPECT_TRUE(bytes.contains(QByteArray("\xFF\x51\x03\x06\x1A\x80", 6)));
    }
    tuneLine += c.lines;
    EXPECT_EQ(dialog_->Playback().MmfOfLine(0), "");
    EXPECT_EQ(dialog_->Playback().MmfOfLine(tuneLine), score.substr(0, score.size() - 4) + ".MMF");
    EXPECT_EQ(dialog_->LogLinePlace(0), "");
    EXPECT_NE(dialog_->LogLinePlace(tuneLine - 1), "");  // the failed compile's line
    EXPECT_EQ(LogLine(tuneLine), QString::fromUtf8("tune.mml は正しく処理されました。"));
  }
  // A tune that has gone away is reported with the file it was looked for in.
  ASSERT_TRUE(QFile::remove(folder_.filePath(QStringLiteral("tune.MMF"))));
  dialog_->Playback().SaveMidiOfLine(tuneLine);
  WaitForSaves();
  EXPECT_EQ(LogLine(0), QString::fromUtf8("tune.MMF ファイルのオープンに失敗しました。"));
  EXPECT_EQ(dialog_->Playback().MmfOfLine(tuneLine + 1),
            score.substr(0, score.size() - 4) + ".MMF");
}

}  // namespace
