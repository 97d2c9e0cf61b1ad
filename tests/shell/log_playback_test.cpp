// Listening from the log: which log line plays which .MMF, the double-click, a missing audio
// device reported in the log instead of a hang, and the WAVE file written beside the .MMF.

#include "shell/log_playback.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <string>

#include "shell/main_dialog.h"
#include "shell/tune_player.h"

namespace {

class LogPlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_folder.isValid());
    // No sound server answers, so the audio output has no device.
    qputenv("PULSE_SERVER", "unix:/nonexistent/quavrex-test");
    const QString ini = m_folder.filePath(QStringLiteral("quavrex.ini"));
    m_dialog = std::make_unique<CMainDialog>(SettingsFiles{ini, ini});
  }

  std::string Put(const char* name, const std::string& text) {
    QFile file(m_folder.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    return file.fileName().toStdString();
  }

  QString LogLine(int line) const {
    auto* log = m_dialog->findChild<QPlainTextEdit*>(QStringLiteral("log"));
    return log->document()->findBlockByNumber(line).text();
  }

  QTemporaryDir m_folder;
  std::unique_ptr<CMainDialog> m_dialog;
};

TEST_F(LogPlaybackTest, LinesKnowTheirTuneAndANoDeviceLineIsAdded) {
  const std::string good = Put("good.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  const std::string bad = Put("bad.mml", "1[V16C]");
  m_dialog->CompileFiles({good, bad});
  CLogPlayback& playback = m_dialog->Playback();
  // Newest first: the failed compile, then the written one.
  EXPECT_EQ(playback.MmfOfLine(0), "");
  EXPECT_EQ(playback.MmfOfLine(1), good.substr(0, good.size() - 4) + ".MMF");
  EXPECT_EQ(playback.MmfOfLine(2), "");  // below the last line

  // Double-clicking the failed compile's line does nothing; the written one's plays, which
  // here can only report the missing device.
  auto* log = m_dialog->findChild<QPlainTextEdit*>(QStringLiteral("log"));
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
}

TEST_F(LogPlaybackTest, SavesTheWaveFileBesideTheTune) {
  const std::string score = Put("tune.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  m_dialog->CompileFiles({score});
  m_dialog->Playback().SaveWavOfLine(0);
  EXPECT_EQ(LogLine(0), QString::fromUtf8("tune.wav は正しく書き出されました。"));
  QFile wav(m_folder.filePath(QStringLiteral("tune.wav")));
  ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
  EXPECT_TRUE(wav.read(4) == "RIFF");
  EXPECT_GT(wav.size(), 44100);  // about a second of 16-bit samples
  EXPECT_EQ(m_dialog->Playback().MmfOfLine(0), "");
  EXPECT_NE(m_dialog->Playback().MmfOfLine(1), "");
}

}  // namespace
