#include "shell/main_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/dialog_template.h"
#include "shell/settings_file.h"

namespace {

// A dialog that keeps the reports it would show in a message box.
class RecordingDialog : public CMainDialog {
 public:
  using CMainDialog::CMainDialog;
  std::vector<QString> m_reports;
  QString m_logShownAtReport;          // what the log box showed when the last report came
  std::function<void()> m_whileShown;  // runs while a report is shown

 protected:
  void ShowInformation(const QString& text) override {
    m_reports.push_back(text);
    m_logShownAtReport = findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
    if (m_whileShown) {
      m_whileShown();
    }
  }
};

class MainDialogTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

  // The settings file of the dialogs made next. A case that needs a fresh file takes a new
  // name: the INI reader caches files by name within a process.
  QString IniPath() const { return m_folder.filePath(m_iniName); }
  void UseNewSettingsFile() { m_iniName = QStringLiteral("quavrex%1.ini").arg(++m_iniCount); }

  void WriteFile(const QString& name, const std::string& bytes) {
    QFile file(m_folder.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  std::unique_ptr<RecordingDialog> MakeDialog() {
    return std::make_unique<RecordingDialog>(SettingsFiles{IniPath(), IniPath()});
  }

  template <typename Widget>
  static Widget* Control(const CMainDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  // Drags `names` (files of the temporary folder, in this order) over the dialog and drops them
  // as a file manager does; returns the action the dialog took (IgnoreAction: refused).
  Qt::DropAction Drop(CMainDialog& dialog, const QStringList& names,
                      Qt::DropAction proposed = Qt::CopyAction) {
    QList<QUrl> urls;
    for (const QString& name : names) {
      urls.append(name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(m_folder.filePath(name)));
    }
    QMimeData data;
    data.setUrls(urls);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    // The window system hands the drag to the control under the pointer, here the log box; it
    // must reach the dialog from there.
    QWidget* target = dialog.childAt(40, 160);
    EXPECT_NE(target, nullptr);
    const QPoint where = target->mapFrom(&dialog, QPoint(40, 160));
    QDragEnterEvent enter(where, offered, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
      return Qt::IgnoreAction;
    }
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(where, offered, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
  }

  static std::vector<std::string> LogLines(const std::string& log) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < log.size();) {
      const size_t end = log.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "line without \\r\\n: " << log.substr(start);
      if (end == std::string::npos) {
        break;
      }
      lines.push_back(log.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  qint64 OutputSize(const char* name) const {
    return QFileInfo(m_folder.filePath(QString::fromLatin1(name))).size();
  }

  QTemporaryDir m_folder;
  QString m_iniName = QStringLiteral("quavrex.ini");
  int m_iniCount = 0;
};

struct StartCase {
  const char* ini;  // the settings file (nullptr: none)
  int formatIndex;
  int octaveCheck;
  int voiceSetup;
  int ezgetTrailer;
  int alwaysOnTop;
  bool moved;  // the window was placed at LEFT, TOP = (120, 90)
};

const StartCase kStartCases[] = {
    // first start: MA1, both MA1 boxes cleared, EzGet and always on top ticked
    {nullptr, 0, 0, 0, 1, 1, false},
    {"", 0, 0, 0, 1, 1, false},
    // any non-zero Format selects MA2
    {"[Data]\nFormat=1\n", 1, 0, 0, 1, 1, false},
    {"[Data]\nFormat=-1\n", 1, 0, 0, 1, 1, false},
    // CRC and ZOrder must be exactly 1; OctCheck and MtsuOut only non-zero
    {"[Data]\nCRC=2\nZOrder=2\nOctCheck=2\nMtsuOut=5\n", 0, 1, 1, 0, 0, false},
    {"[Data]\nCRC=0\nZOrder=0\nOctCheck=0\nMtsuOut=0\n", 0, 0, 0, 0, 0, false},
    // the saved position counts only when both coordinates are non-zero
    {"[WindowsPos]\nTOP=90\nLEFT=120\n", 0, 0, 0, 1, 1, true},
    {"[WindowsPos]\nTOP=90\nLEFT=0\n", 0, 0, 0, 1, 1, false},
    {"[WindowsPos]\nTOP=0\nLEFT=120\n", 0, 0, 0, 1, 1, false},
    // a position on no screen is not restored: the window could not be reached
    {"[WindowsPos]\nTOP=90000\nLEFT=120000\n", 0, 0, 0, 1, 1, false},
};

TEST_F(MainDialogTest, StartsWithTheSavedSettings) {
  for (const StartCase& c : kStartCases) {
    SCOPED_TRACE(c.ini == nullptr ? "(no settings file)" : c.ini);
    UseNewSettingsFile();
    if (c.ini != nullptr) {
      WriteFile(m_iniName, c.ini);
    }
    const auto dialog = MakeDialog();
    EXPECT_EQ(dialog->m_formatIndex, c.formatIndex);
    EXPECT_EQ(dialog->m_octaveCheck, c.octaveCheck);
    EXPECT_EQ(dialog->m_voiceSetupOption, c.voiceSetup);
    EXPECT_EQ(dialog->m_ezgetTrailer, c.ezgetTrailer);
    EXPECT_EQ(dialog->m_alwaysOnTop, c.alwaysOnTop);

    // The controls show the members, and the MA1 boxes are usable only in MA1.
    EXPECT_EQ(Control<QRadioButton>(*dialog, "formatMa1")->isChecked(), c.formatIndex == 0);
    EXPECT_EQ(Control<QRadioButton>(*dialog, "formatMa2")->isChecked(), c.formatIndex == 1);
    auto* octave = Control<QCheckBox>(*dialog, "octaveCheck");
    auto* voice = Control<QCheckBox>(*dialog, "voiceSetup");
    EXPECT_EQ(octave->isChecked(), c.octaveCheck == 1);
    EXPECT_EQ(voice->isChecked(), c.voiceSetup == 1);
    EXPECT_EQ(octave->isEnabled(), c.formatIndex == 0);
    EXPECT_EQ(voice->isEnabled(), c.formatIndex == 0);
    EXPECT_EQ(Control<QCheckBox>(*dialog, "ezgetTrailer")->isChecked(), c.ezgetTrailer == 1);
    EXPECT_EQ(Control<QCheckBox>(*dialog, "alwaysOnTop")->isChecked(), c.alwaysOnTop == 1);
    EXPECT_EQ(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.alwaysOnTop == 1);

    // Every start is fully opaque; the slider is not stored.
    EXPECT_EQ(Control<QSlider>(*dialog, "opacity")->value(), 255);
    EXPECT_DOUBLE_EQ(dialog->windowOpacity(), 1.0);

    EXPECT_EQ(dialog->testAttribute(Qt::WA_Moved), c.moved);
    if (c.moved) {
      EXPECT_EQ(dialog->pos(), QPoint(120, 90));
    }
  }
}

TEST_F(MainDialogTest, WindowHasTheCaptionAndNoMinimizeBox) {
  const auto dialog = MakeDialog();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("QUAVREX Ver1.04.0"));
  const Qt::WindowFlags flags = dialog->windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  // A plain top-level window, not a transient dialog, so the task bar lists it.
  EXPECT_EQ(dialog->windowType(), Qt::Window);
}

TEST_F(MainDialogTest, LabelsHaveTheirGlyphsAndFitTheirControls) {
  const auto dialog = MakeDialog();
  EXPECT_TRUE(QFontDatabase::families(QFontDatabase::Japanese).contains(dialog->font().family()))
      << dialog->font().family().toStdString();
  const QRect client = dialog->rect();
  for (const ControlTemplate& control : DialogControls()) {
    SCOPED_TRACE(control.name);
    const auto* widget = Control<QWidget>(*dialog, control.name);
    EXPECT_TRUE(client.contains(widget->geometry())) << "outside the window";
    const QString text = QString::fromUtf8(control.text);
    const QFontMetrics metrics(widget->font());
    for (const char32_t character : text.toUcs4()) {
      EXPECT_TRUE(metrics.inFontUcs4(character))
          << "no glyph for U+" << std::hex << static_cast<unsigned>(character);
    }
    if (control.kind == ControlKind::kPushButton) {
      EXPECT_LT(metrics.horizontalAdvance(text), widget->width() - 8) << "text is cut off";
    } else if (!text.isEmpty()) {
      EXPECT_LE(widget->sizeHint().width(), widget->width()) << "text is cut off";
    }
  }
}

TEST_F(MainDialogTest, FormatRadiosEnableTheMa1Options) {
  const auto dialog = MakeDialog();
  auto* octave = Control<QCheckBox>(*dialog, "octaveCheck");
  auto* voice = Control<QCheckBox>(*dialog, "voiceSetup");
  octave->setChecked(true);
  Control<QRadioButton>(*dialog, "formatMa2")->click();
  EXPECT_EQ(dialog->m_formatIndex, 1);
  EXPECT_FALSE(octave->isEnabled());
  EXPECT_FALSE(voice->isEnabled());
  // Disabled boxes keep their values and still reach the job.
  EXPECT_EQ(dialog->m_octaveCheck, 1);
  EXPECT_TRUE(dialog->CurrentOptions().ma2);
  EXPECT_TRUE(dialog->CurrentOptions().octaveCheck);

  Control<QRadioButton>(*dialog, "formatMa1")->click();
  EXPECT_EQ(dialog->m_formatIndex, 0);
  EXPECT_TRUE(octave->isEnabled());
  EXPECT_TRUE(voice->isEnabled());
  EXPECT_FALSE(dialog->CurrentOptions().ma2);
}

TEST_F(MainDialogTest, AlwaysOnTopTogglesWithoutHidingTheWindow) {
  const auto dialog = MakeDialog();
  dialog->show();
  auto* onTop = Control<QCheckBox>(*dialog, "alwaysOnTop");
  onTop->click();
  EXPECT_EQ(dialog->m_alwaysOnTop, 0);
  EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  ASSERT_NE(dialog->windowHandle(), nullptr);
  EXPECT_FALSE(dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(dialog->isVisible());
  onTop->click();
  EXPECT_EQ(dialog->m_alwaysOnTop, 1);
  EXPECT_TRUE(dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(dialog->isVisible());
  dialog->hide();
}

TEST_F(MainDialogTest, SliderSetsTheOpacity) {
  const auto dialog = MakeDialog();
  auto* slider = Control<QSlider>(*dialog, "opacity");
  EXPECT_EQ(slider->minimum(), 1);
  EXPECT_EQ(slider->maximum(), 255);
  EXPECT_EQ(slider->singleStep(), 4);
  EXPECT_EQ(slider->pageStep(), 4);
  slider->setValue(129);
  EXPECT_NEAR(dialog->windowOpacity(), 129.0 / 255, 0.5 / 255);
  slider->setValue(0);  // never fully transparent
  EXPECT_EQ(slider->value(), 1);
  EXPECT_GT(dialog->windowOpacity(), 0.0);
}

struct CloseCase {
  const char* how;
  int key;  // 0: not a key
  QDialog::DialogCode result;
};

const CloseCase kCloseCases[] = {
    {"Return", Qt::Key_Return, QDialog::Accepted}, {"Enter", Qt::Key_Enter, QDialog::Accepted},
    {"Escape", Qt::Key_Escape, QDialog::Rejected}, {"exit button", 0, QDialog::Rejected},
    {"close box", -1, QDialog::Rejected},
};

TEST_F(MainDialogTest, ClosesAndWritesTheSettingsEveryWay) {
  for (const CloseCase& c : kCloseCases) {
    SCOPED_TRACE(c.how);
    UseNewSettingsFile();
    const auto dialog = MakeDialog();
    dialog->setResult(-1);
    dialog->show();
    if (c.key > 0) {
      // Keys reach the window through the focused control, here the log.
      auto* log = Control<QPlainTextEdit>(*dialog, "log");
      log->setFocus();
      QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
      QCoreApplication::sendEvent(log, &press);
    } else if (c.key == 0) {
      Control<QPushButton>(*dialog, "exitButton")->click();
    } else {
      dialog->close();
    }
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), c.result);
    EXPECT_TRUE(QFile::exists(IniPath()));
  }
}

TEST_F(MainDialogTest, ClosingWritesTheValuesOfTheControls) {
  {
    const auto dialog = MakeDialog();
    dialog->move(150, 60);
    Control<QCheckBox>(*dialog, "octaveCheck")->click();
    Control<QCheckBox>(*dialog, "voiceSetup")->click();
    Control<QRadioButton>(*dialog, "formatMa2")->click();
    Control<QCheckBox>(*dialog, "ezgetTrailer")->click();
    Control<QCheckBox>(*dialog, "alwaysOnTop")->click();
    dialog->reject();
  }
  const ShellSettings saved = ReadSettings(IniPath());
  EXPECT_EQ(saved.left, 150);
  EXPECT_EQ(saved.top, 60);
  EXPECT_EQ(saved.format, 1);
  EXPECT_EQ(saved.octCheck, 1);
  EXPECT_EQ(saved.mtsuOut, 1);
  EXPECT_EQ(saved.crc, 0);
  EXPECT_EQ(saved.zOrder, 0);

  // The next start shows them again, at the saved place.
  const auto again = MakeDialog();
  EXPECT_EQ(again->m_formatIndex, 1);
  EXPECT_EQ(again->m_octaveCheck, 1);
  EXPECT_EQ(again->m_voiceSetupOption, 1);
  EXPECT_EQ(again->m_ezgetTrailer, 0);
  EXPECT_EQ(again->m_alwaysOnTop, 0);
  EXPECT_EQ(again->pos(), QPoint(150, 60));
}

TEST_F(MainDialogTest, DroppedFilesAreCompiledInDropOrderNewestFirst) {
  for (const char* name : {"a.mml", "b.mml", "c.mml"}) {
    WriteFile(QString::fromLatin1(name), "1[T120 O4 L8 CDE]\r\n");
  }
  const auto dialog = MakeDialog();
  EXPECT_EQ(
      Drop(*dialog, {QStringLiteral("b.mml"), QStringLiteral("c.mml"), QStringLiteral("a.mml")}),
      Qt::CopyAction);
  const std::string expected =
      "a.mml は正しく処理されました。\r\n"
      "c.mml は正しく処理されました。\r\n"
      "b.mml は正しく処理されました。\r\n";
  EXPECT_EQ(dialog->m_log, expected);
  for (const char* output : {"a.MMF", "b.MMF", "c.MMF"}) {
    EXPECT_GT(OutputSize(output), 0) << output;
  }
  // The log box shows the same lines.
  EXPECT_EQ(Control<QPlainTextEdit>(*dialog, "log")->toPlainText(),
            QString::fromStdString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  // A second drop goes on top of the first; a file of another kind gets its own line.
  WriteFile(QStringLiteral("notes.txt"), "1[C]");
  Drop(*dialog, {QStringLiteral("notes.txt")});
  EXPECT_EQ(dialog->m_log, "notes.txt は処理されませんでした。\r\n" + expected);
}

TEST_F(MainDialogTest, DropIsTakenAsACopyAndOnlyLocalFilesCount) {
  WriteFile(QStringLiteral("a.txt"), "x");
  const auto dialog = MakeDialog();
  // A file manager proposing to move the files must not be told they were moved.
  EXPECT_EQ(Drop(*dialog, {QStringLiteral("a.txt")}, Qt::MoveAction), Qt::CopyAction);
  ASSERT_EQ(LogLines(dialog->m_log).size(), 1u);

  EXPECT_EQ(
      Drop(*dialog, {QStringLiteral("https://example.org/song.mml"), QStringLiteral("a.txt")}),
      Qt::CopyAction);
  EXPECT_EQ(LogLines(dialog->m_log).size(), 2u);
  // Nothing local at all: the drop is refused and nothing is logged.
  EXPECT_EQ(Drop(*dialog, {QStringLiteral("https://example.org/song.mml")}), Qt::IgnoreAction);
  EXPECT_EQ(LogLines(dialog->m_log).size(), 2u);
  EXPECT_TRUE(dialog->m_reports.empty());
}

TEST_F(MainDialogTest, ScoresAreCompiledWithTheOptionsOfTheControls) {
  WriteFile(QStringLiteral("song.mml"), "1[T120 O4 L4 CDEF]\r\n");
  WriteFile(QStringLiteral("low.mml"), "1[O2 L4 B]\r\n");  // below the range of voice 0
  const auto dialog = MakeDialog();

  Drop(*dialog, {QStringLiteral("song.mml")});
  ASSERT_EQ(LogLines(dialog->m_log).size(), 1u);
  EXPECT_EQ(LogLines(dialog->m_log)[0], "song.mml は正しく処理されました。");
  const qint64 withTrailer = OutputSize("song.MMF");
  ASSERT_GT(withTrailer, 2);

  // The EzGet box is read at the drop: without it the file is two bytes shorter.
  Control<QCheckBox>(*dialog, "ezgetTrailer")->click();
  Drop(*dialog, {QStringLiteral("song.mml")});
  EXPECT_EQ(OutputSize("song.MMF"), withTrailer - 2);

  // The octave check makes the range report, shown after the log box shows the new line.
  // While the report is open the window is busy: a further drop is refused.
  Control<QCheckBox>(*dialog, "octaveCheck")->click();
  Qt::DropAction dropWhileShown = Qt::CopyAction;
  dialog->m_whileShown = [&] { dropWhileShown = Drop(*dialog, {QStringLiteral("song.mml")}); };
  Drop(*dialog, {QStringLiteral("low.mml")});
  dialog->m_whileShown = nullptr;
  EXPECT_EQ(dropWhileShown, Qt::IgnoreAction);
  EXPECT_EQ(LogLines(dialog->m_log).size(), 3u);
  ASSERT_EQ(dialog->m_reports.size(), 1u);
  EXPECT_TRUE(dialog->m_reports[0].contains(QStringLiteral("※low.mmlは作成されています。")))
      << dialog->m_reports[0].toStdString();
  EXPECT_FALSE(dialog->m_reports[0].contains(u'\r'));
  EXPECT_TRUE(
      dialog->m_logShownAtReport.startsWith(QStringLiteral("low.mml は正しく処理されました。\n")));

  // In MA2 the range report is never made, though the octave box stays ticked.
  Control<QRadioButton>(*dialog, "formatMa2")->click();
  Drop(*dialog, {QStringLiteral("low.mml")});
  EXPECT_EQ(dialog->m_reports.size(), 1u);
  EXPECT_EQ(LogLines(dialog->m_log).size(), 4u);
}

}  // namespace
