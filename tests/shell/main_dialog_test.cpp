#include "shell/main_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
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
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/dialog_template.h"
#include "shell/settings_file.h"

namespace {

// A dialog that keeps the reports it would show in a message box.
class RecordingDialog : public MainDialog {
 public:
  using MainDialog::MainDialog;
  std::vector<QString> reports_;
  QString logShownAtReport_;          // what the log box showed when the last report came
  bool waitCursorAtReport_ = false;   // the wait cursor was on when the last report came
  std::function<void()> whileShown_;  // runs while a report is shown

 protected:
  void ShowInformation(const QString& text) override {
    reports_.push_back(text);
    waitCursorAtReport_ = QApplication::overrideCursor() != nullptr;
    logShownAtReport_ = findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
    if (whileShown_) {
      whileShown_();
    }
  }
};

class MainDialogTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  // The settings file of the dialogs made next. A case that needs a fresh file takes a new
  // name: the INI reader caches files by name within a process.
  QString IniPath() const { return folder_.filePath(iniName_); }
  void UseNewSettingsFile() { iniName_ = QStringLiteral("quavrex%1.ini").arg(++iniCount_); }

  void WriteFile(const QString& name, const std::string& bytes) {
    QFile file(folder_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  std::unique_ptr<RecordingDialog> MakeDialog() {
    return std::make_unique<RecordingDialog>(SettingsFiles{IniPath(), IniPath()});
  }

  template <typename Widget>
  static Widget* Control(const MainDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  // Drags `names` (files of the temporary folder, in this order) over the dialog and drops them
  // as a file manager does; returns the action the dialog took (IgnoreAction: refused).
  Qt::DropAction Drop(MainDialog& dialog, const QStringList& names,
                      Qt::DropAction proposed = Qt::CopyAction) {
    QList<QUrl> urls;
    for (const QString& name : names) {
      urls.append(name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(folder_.filePath(name)));
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
    return QFileInfo(folder_.filePath(QString::fromLatin1(name))).size();
  }

  QTemporaryDir folder_;
  QString iniName_ = QStringLiteral("quavrex.ini");
  int iniCount_ = 0;
};

struct StartCase {
  const char* ini;        // the settings file (nullptr: none)
  DialogOptions options;  // ma2, octaveCheck, voiceSetup, ezgetTrailer, alwaysOnTop
  bool moved;             // the window was placed at LEFT, TOP = (120, 90)
};

const StartCase kStartCases[] = {
    // first start: MA1, both MA1 boxes cleared, EzGet and always on top ticked
    {nullptr, {false, false, false, true, true}, false},
    {"", {false, false, false, true, true}, false},
    // any non-zero Format selects MA2
    {"[Data]\nFormat=1\n", {true, false, false, true, true}, false},
    {"[Data]\nFormat=-1\n", {true, false, false, true, true}, false},
    // CRC and ZOrder must be exactly 1; OctCheck and MtsuOut only non-zero
    {"[Data]\nCRC=2\nZOrder=2\nOctCheck=2\nMtsuOut=5\n", {false, true, true, false, false}, false},
    {"[Data]\nCRC=0\nZOrder=0\nOctCheck=0\nMtsuOut=0\n",
     {false, false, false, false, false},
     false},
    // the saved position counts only when both coordinates are non-zero
    {"[WindowsPos]\nTOP=90\nLEFT=120\n", {false, false, false, true, true}, true},
    {"[WindowsPos]\nTOP=90\nLEFT=0\n", {false, false, false, true, true}, false},
    {"[WindowsPos]\nTOP=0\nLEFT=120\n", {false, false, false, true, true}, false},
    // a position on no screen is not restored: the window could not be reached
    {"[WindowsPos]\nTOP=90000\nLEFT=120000\n", {false, false, false, true, true}, false},
};

TEST_F(MainDialogTest, StartsWithTheSavedSettings) {
  for (const StartCase& c : kStartCases) {
    SCOPED_TRACE(c.ini == nullptr ? "(no settings file)" : c.ini);
    UseNewSettingsFile();
    if (c.ini != nullptr) {
      WriteFile(iniName_, c.ini);
    }
    const auto dialog = MakeDialog();
    EXPECT_EQ(dialog->Options(), c.options);

    // The controls show the options, and the MA1 boxes are usable only in MA1.
    EXPECT_EQ(Control<QRadioButton>(*dialog, "formatMa1")->isChecked(), !c.options.ma2);
    EXPECT_EQ(Control<QRadioButton>(*dialog, "formatMa2")->isChecked(), c.options.ma2);
    auto* octave = Control<QCheckBox>(*dialog, "octaveCheck");
    auto* voice = Control<QCheckBox>(*dialog, "voiceSetup");
    EXPECT_EQ(octave->isChecked(), c.options.octaveCheck);
    EXPECT_EQ(voice->isChecked(), c.options.voiceSetup);
    EXPECT_EQ(octave->isEnabled(), !c.options.ma2);
    EXPECT_EQ(voice->isEnabled(), !c.options.ma2);
    EXPECT_EQ(Control<QCheckBox>(*dialog, "ezgetTrailer")->isChecked(), c.options.ezgetTrailer);
    EXPECT_EQ(Control<QCheckBox>(*dialog, "alwaysOnTop")->isChecked(), c.options.alwaysOnTop);
    EXPECT_EQ(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.options.alwaysOnTop);

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

// The dialog's controls in tab order: kind, text and place in dialog units, as the window was
// designed.
struct LayoutCase {
  const char* name;
  const char* className;
  const char* text;
  int x, y, width, height;
};

// clang-format off
const LayoutCase kLayoutCases[] = {
    {"dropHint", "QLabel", "ファイルをドロップしてください。", 7, 7, 147, 10},
    {"exitButton", "QPushButton", "終了", 173, 7, 50, 14},
    {"formatMa1", "QRadioButton", "4和音機用ﾌｫｰﾏｯﾄで出力(MA1ﾌｫｰﾏｯﾄ)", 9, 25, 144, 10},
    {"octaveCheck", "QCheckBox", "ｵｸﾀｰﾌﾞ範囲ﾁｪｯｸ", 25, 39, 75, 11},
    {"voiceSetup", "QCheckBox", "音色定義を出力する", 111, 39, 87, 11},
    {"formatMa2", "QRadioButton", "16和音機用ﾌｫｰﾏｯﾄで出力(MA2ﾌｫｰﾏｯﾄ)", 9, 55, 148, 10},
    {"ezgetTrailer", "QCheckBox", "EzGet用CRCコード（0x1D 0x0F）を付加する", 9, 67, 175, 11},
    {"log", "QPlainTextEdit", nullptr, 7, 81, 214, 85},
    {"opacity", "QSlider", nullptr, 220, 77, 10, 92},
    {"alwaysOnTop", "QCheckBox", "常に手前に表示", 8, 167, 73, 11},
};
// clang-format on

TEST_F(MainDialogTest, ControlsStandWhereTheDesignPutsThem) {
  const auto dialog = MakeDialog();
  const DialogUnits units{QFontMetrics(dialog->font())};
  EXPECT_EQ(dialog->size(), units.ToPixels(230, 181));
  // Tab goes through the controls in the order of the table.
  std::vector<std::string> tabOrder;
  for (QWidget* w = dialog->nextInFocusChain(); w != dialog.get(); w = w->nextInFocusChain()) {
    if (!w->objectName().isEmpty() && w->parentWidget() == dialog.get()) {
      tabOrder.push_back(w->objectName().toStdString());
    }
  }
  std::vector<std::string> expectedOrder;
  for (const LayoutCase& c : kLayoutCases) {
    expectedOrder.push_back(c.name);
  }
  EXPECT_EQ(tabOrder, expectedOrder);

  for (const LayoutCase& c : kLayoutCases) {
    SCOPED_TRACE(c.name);
    const auto* widget = Control<QWidget>(*dialog, c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), c.className);
    if (c.text != nullptr) {
      EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(c.text));
    }
    const QRect place = units.ToPixels(c.x, c.y, c.width, c.height);
    EXPECT_EQ(widget->pos(), place.topLeft());
    EXPECT_EQ(widget->height(), place.height());
    // A label may grow a little to the right so that its text is not cut off.
    EXPECT_GE(widget->width(), place.width());
    EXPECT_LE(widget->width(), place.width() + units.ToPixels(8, 0).width());
  }
  EXPECT_TRUE(Control<QPlainTextEdit>(*dialog, "log")->isReadOnly());
  EXPECT_EQ(Control<QSlider>(*dialog, "opacity")->orientation(), Qt::Vertical);
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
  EXPECT_TRUE(dialog->Options().ma2);
  EXPECT_FALSE(octave->isEnabled());
  EXPECT_FALSE(voice->isEnabled());
  // Disabled boxes keep their values and still reach the job.
  EXPECT_TRUE(dialog->Options().octaveCheck);
  EXPECT_TRUE(dialog->CurrentOptions().ma2);
  EXPECT_TRUE(dialog->CurrentOptions().octaveCheck);

  Control<QRadioButton>(*dialog, "formatMa1")->click();
  EXPECT_FALSE(dialog->Options().ma2);
  EXPECT_TRUE(octave->isEnabled());
  EXPECT_TRUE(voice->isEnabled());
  EXPECT_FALSE(dialog->CurrentOptions().ma2);
}

TEST_F(MainDialogTest, AlwaysOnTopTogglesWithoutHidingTheWindow) {
  const auto dialog = MakeDialog();
  dialog->show();
  auto* onTop = Control<QCheckBox>(*dialog, "alwaysOnTop");
  onTop->click();
  EXPECT_FALSE(dialog->Options().alwaysOnTop);
  EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  ASSERT_NE(dialog->windowHandle(), nullptr);
  EXPECT_FALSE(dialog->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(dialog->isVisible());
  onTop->click();
  EXPECT_TRUE(dialog->Options().alwaysOnTop);
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
  const DialogOptions changed{true, true, true, false, false};
  EXPECT_EQ(saved.options, changed);

  // The next start shows them again, at the saved place.
  const auto again = MakeDialog();
  EXPECT_EQ(again->Options(), changed);
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
  EXPECT_EQ(dialog->log_, expected);
  for (const char* output : {"a.MMF", "b.MMF", "c.MMF"}) {
    EXPECT_GT(OutputSize(output), 0) << output;
  }
  // The log box shows the same lines.
  EXPECT_EQ(Control<QPlainTextEdit>(*dialog, "log")->toPlainText(),
            QString::fromStdString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  // A second drop goes on top of the first; a file of another kind gets its own line.
  WriteFile(QStringLiteral("notes.txt"), "1[C]");
  Drop(*dialog, {QStringLiteral("notes.txt")});
  EXPECT_EQ(dialog->log_, "notes.txt は処理されませんでした。\r\n" + expected);
}

TEST_F(MainDialogTest, CompileErrorsShowTheirPlaceBesideTheLogLine) {
  WriteFile(QStringLiteral("bad.mml"), "1[ cde\r\n  v16 ]\r\n");
  WriteFile(QStringLiteral("good.mml"), "1[C]");
  const auto dialog = MakeDialog();
  Drop(*dialog, {QStringLiteral("bad.mml"), QStringLiteral("good.mml")});
  // The log keeps exactly its lines; the place goes with the line as its tool tip.
  EXPECT_EQ(dialog->log_,
            "good.mml は正しく処理されました。\r\n"
            "bad.mml 1パート 'V'には 0～15 を設定してください。\r\n");
  EXPECT_EQ(dialog->LogLinePlace(0), "");
  const std::string place = dialog->LogLinePlace(1);
  EXPECT_NE(place.find("bad.mml:2:4: error: 1パート 'V'には 0～15 を設定してください。\n"
                       "   v16 ]\n"
                       "    ^\n"),
            std::string::npos)
      << place;
  EXPECT_EQ(dialog->LogLinePlace(2), "");
}

TEST_F(MainDialogTest, DropIsTakenAsACopyAndOnlyLocalFilesCount) {
  WriteFile(QStringLiteral("a.txt"), "x");
  const auto dialog = MakeDialog();
  // A file manager proposing to move the files must not be told they were moved.
  EXPECT_EQ(Drop(*dialog, {QStringLiteral("a.txt")}, Qt::MoveAction), Qt::CopyAction);
  ASSERT_EQ(LogLines(dialog->log_).size(), 1u);

  EXPECT_EQ(
      Drop(*dialog, {QStringLiteral("https://example.org/song.mml"), QStringLiteral("a.txt")}),
      Qt::CopyAction);
  EXPECT_EQ(LogLines(dialog->log_).size(), 2u);
  // Nothing local at all: the drop is refused and nothing is logged.
  EXPECT_EQ(Drop(*dialog, {QStringLiteral("https://example.org/song.mml")}), Qt::IgnoreAction);
  EXPECT_EQ(LogLines(dialog->log_).size(), 2u);
  EXPECT_TRUE(dialog->reports_.empty());
}

TEST_F(MainDialogTest, ScoresAreCompiledWithTheOptionsOfTheControls) {
  WriteFile(QStringLiteral("song.mml"), "1[T120 O4 L4 CDEF]\r\n");
  WriteFile(QStringLiteral("low.mml"), "1[O2 L4 B]\r\n");  // below the range of voice 0
  const auto dialog = MakeDialog();

  Drop(*dialog, {QStringLiteral("song.mml")});
  ASSERT_EQ(LogLines(dialog->log_).size(), 1u);
  EXPECT_EQ(LogLines(dialog->log_)[0], "song.mml は正しく処理されました。");
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
  dialog->whileShown_ = [&] { dropWhileShown = Drop(*dialog, {QStringLiteral("song.mml")}); };
  Drop(*dialog, {QStringLiteral("low.mml")});
  dialog->whileShown_ = nullptr;
  EXPECT_EQ(dropWhileShown, Qt::IgnoreAction);
  EXPECT_EQ(LogLines(dialog->log_).size(), 3u);
  ASSERT_EQ(dialog->reports_.size(), 1u);
  EXPECT_TRUE(dialog->reports_[0].contains(QStringLiteral("※low.mmlは作成されています。")))
      << dialog->reports_[0].toStdString();
  EXPECT_FALSE(dialog->reports_[0].contains(u'\r'));
  EXPECT_TRUE(
      dialog->logShownAtReport_.startsWith(QStringLiteral("low.mml は正しく処理されました。\n")));
  // The report waits for a click: it gets the normal cursor, and the batch leaves none behind.
  EXPECT_FALSE(dialog->waitCursorAtReport_);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // In MA2 the range report is never made, though the octave box stays ticked.
  Control<QRadioButton>(*dialog, "formatMa2")->click();
  Drop(*dialog, {QStringLiteral("low.mml")});
  EXPECT_EQ(dialog->reports_.size(), 1u);
  EXPECT_EQ(LogLines(dialog->log_).size(), 4u);
}

// Dropped data as a file manager sends it (text/uri-list) -> the paths compiled, as bytes.
struct UriListCase {
  const char* uriList;
  std::vector<std::string> paths;
};

const UriListCase kUriListCases[] = {
    // local files in the order given
    {"file:///home/u/b.mml\r\nfile:///home/u/a.MUS\r\n", {"/home/u/b.mml", "/home/u/a.MUS"}},
    {"file:/home/u/a.mml\r\n", {"/home/u/a.mml"}},
    // escaped names: blanks, UTF-8, and Shift-JIS bytes that are not UTF-8
    {"file:///home/u/my%20song.mml\r\n", {"/home/u/my song.mml"}},
    {"file:///home/u/%E6%9B%B2.mml\r\n", {"/home/u/\xE6\x9B\xB2.mml"}},
    {"file:///home/u/%8B%C8.mml\r\n", {"/home/u/\x8B\xC8.mml"}},
    // this machine by name
    {"file://localhost/home/u/a.mml\r\n", {"/home/u/a.mml"}},
    {"file://LOCALHOST/home/u/a.mml\r\n", {"/home/u/a.mml"}},
    // files of another host, other schemes, relative paths and cut names are skipped
    {"file://server/home/u/a.mml\r\nfile:///home/u/b.mml\r\n", {"/home/u/b.mml"}},
    {"https://example.org/a.mml\r\nsmb://server/share/a.mml\r\n", {}},
    {"file:a.mml\r\n", {}},
    {"file:///home/u/a.mml%00.txt\r\n", {}},
    // comment lines of the list name nothing
    {"# from the file manager\r\nfile:///home/u/a.mml\r\n", {"/home/u/a.mml"}},
};

TEST(DroppedFilePathsTest, TakesTheFilesOfThisMachineAsTheirBytes) {
  for (const UriListCase& c : kUriListCases) {
    SCOPED_TRACE(c.uriList);
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), QByteArray(c.uriList));
    EXPECT_EQ(DroppedFilePaths(data), c.paths);
  }
}

TEST_F(MainDialogTest, NamesThatAreNotUtf8AndLocalhostUrlsReachTheirFiles) {
  // A Shift-JIS name ("曲.mml"), as an archive made on another system unpacks it.
  const std::string folder = QFile::encodeName(folder_.path()).toStdString();
  const std::string sjisName = "\x8B\xC8.mml";
  std::ofstream(folder + "/" + sjisName, std::ios::binary) << "1[T120 O4 L8 CDE]\r\n";
  WriteFile(QStringLiteral("a.mml"), "1[T120 O4 L8 CDE]\r\n");
  const QString folderUrl = QUrl::fromLocalFile(folder_.path()).toString(QUrl::FullyEncoded);
  const auto dialog = MakeDialog();
  EXPECT_EQ(Drop(*dialog,
                 {folderUrl + QStringLiteral("/%8B%C8.mml"),
                  QStringLiteral("file://localhost") + folder_.path() + QStringLiteral("/a.mml")}),
            Qt::CopyAction);
  // The log shows the Shift-JIS name converted, so it stays readable UTF-8.
  EXPECT_EQ(dialog->log_, "a.mml は正しく処理されました。\r\n曲.mml は正しく処理されました。\r\n");
  EXPECT_TRUE(std::filesystem::exists(folder + "/\x8B\xC8.MMF"));
  EXPECT_GT(OutputSize("a.MMF"), 0);
  // The temporary folder can only remove names it can read as text.
  std::filesystem::remove(folder + "/" + sjisName);
  std::filesystem::remove(folder + "/\x8B\xC8.MMF");
}

TEST_F(MainDialogTest, ControlCharactersOfANameAreShownEscapedInTheLogBox) {
  // An escape sequence and a newline in a file name: one line, and nothing for a terminal.
  const std::string folder = QFile::encodeName(folder_.path()).toStdString();
  std::ofstream(folder + "/a\x1b[2J\nb.mml", std::ios::binary) << "1[CDE]";
  const QString folderUrl = QUrl::fromLocalFile(folder_.path()).toString(QUrl::FullyEncoded);
  const auto dialog = MakeDialog();
  Drop(*dialog, {folderUrl + QStringLiteral("/a%1B%5B2J%0Ab.mml")});
  EXPECT_EQ(dialog->log_, "a\x1b[2J\nb.mml は正しく処理されました。\r\n");
  EXPECT_EQ(Control<QPlainTextEdit>(*dialog, "log")->toPlainText(),
            QString::fromUtf8("a\\x1B[2J\\x0Ab.mml は正しく処理されました。\n"));
  std::filesystem::remove(folder + "/a\x1b[2J\nb.mml");
  std::filesystem::remove(folder + "/a\x1b[2J\nb.MMF");
}

}  // namespace
