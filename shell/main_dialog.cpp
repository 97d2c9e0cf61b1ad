#include "shell/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSlider>
#include <QSysInfo>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "export/midi_output.h"
#include "export/score_of_midi.h"
#include "job/log_text.h"
#include "shell/dialog_services.h"
#include "shell/dialog_template.h"
#include "shell/log_playback.h"
#include "shell/program_icon.h"

namespace {

constexpr int kOpaque = 255;
constexpr int kOpacityStep = 4;

// The log and the job's reports end their lines in "\r\n"; the widgets want "\n". Control
// characters from file names and scores are shown escaped.
QString DisplayText(const std::string& text) {
  const std::string shown = EscapeControlCharacters(text);
  QString display = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
  display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return display;
}

// Shows the wait cursor for as long as it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Files are always taken as a copy: accepting the "move" a file manager may propose would make
// it delete the dropped scores. While a batch is in progress (its report box may be open) the
// window is busy and refuses further drops.
bool AcceptFileDrag(QDropEvent* event, bool busy) {
  if (busy || DroppedFilePaths(*event->mimeData()).empty() ||
      !(event->possibleActions() & Qt::CopyAction)) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

// The path of a dropped file URL as file-system bytes, or empty when it names no file of this
// machine. The bytes come from the URL's percent-encoded form, so a name that is not UTF-8 (a
// Shift-JIS name unpacked from an old archive) still reaches its file.
std::string LocalPathOf(const QUrl& url) {
  if (!url.isLocalFile()) {
    return {};
  }
  // "file://host/path" names a file of that host; only this machine's files can be compiled.
  const QString host = url.host();
  if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0 &&
      host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0) {
    return {};
  }
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  // A relative path would depend on the program's working folder, and a zero byte would cut the
  // name short when the file is opened.
  if (!path.startsWith('/') || path.contains('\0')) {
    return {};
  }
  return path.toStdString();
}

}  // namespace

std::vector<std::string> DroppedFilePaths(const QMimeData& data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data.urls()) {
    std::string path = LocalPathOf(url);
    if (!path.empty()) {
      paths.push_back(std::move(path));
    }
  }
  return paths;
}

MainDialog::MainDialog(const SettingsFiles& files, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      settingsFiles_(files) {
  setWindowTitle(QString::fromUtf8(kDialogCaption));
  setFont(ChooseDialogFont());
  setWindowIcon(ProgramIcon());
  BuildControls();
  ApplySettings(ReadSettings(settingsFiles_.readPath));

  opacitySlider_->setRange(1, kOpaque);
  opacitySlider_->setSingleStep(kOpacityStep);
  opacitySlider_->setPageStep(kOpacityStep);
  opacitySlider_->setValue(kOpaque);
  ShowLog(log_);
  setAcceptDrops(true);
  ApplyOpacity(opacitySlider_->value());
}

void MainDialog::BuildControls() {
  const DialogUnits units{QFontMetrics(font())};
  setFixedSize(units.ToPixels(kDialogWidthUnits, kDialogHeightUnits));
  for (const ControlTemplate& control : DialogControls()) {
    const QString text = QString::fromUtf8(control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kLabel:
        widget = new QLabel(text, this);
        break;
      case ControlKind::kPushButton: {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, &QDialog::reject);
        widget = button;
        break;
      }
      case ControlKind::kRadioButton:
        // The two format radios are siblings, so checking one clears the other.
        widget = new QRadioButton(text, this);
        break;
      case ControlKind::kCheckBox:
        widget = new QCheckBox(text, this);
        break;
      case ControlKind::kLog: {
        logBox_ = new QPlainTextEdit(this);
        logBox_->setReadOnly(true);
        logBox_->setUndoRedoEnabled(false);
        logBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        logBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        logBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        logBox_->viewport()->installEventFilter(this);
        widget = logBox_;
        break;
      }
      case ControlKind::kSlider:
        // Least opaque at the top, as a vertical track bar runs.
        opacitySlider_ = new QSlider(Qt::Vertical, this);
        opacitySlider_->setTickPosition(QSlider::NoTicks);
        opacitySlider_->setInvertedAppearance(true);
        opacitySlider_->setInvertedControls(true);
        widget = opacitySlider_;
        break;
    }
    widget->setObjectName(QString::fromLatin1(control.name));
    QRect place = units.ToPixels(control.x, control.y, control.width, control.height);
    // A face a little wider than the one the layout was measured with must not cut a label
    // off: such a control grows to the right by the few pixels it needs, inside the window.
    if (control.kind != ControlKind::kPushButton && !text.isEmpty()) {
      place.setWidth(qMin(qMax(place.width(), widget->sizeHint().width()), width() - place.x()));
    }
    widget->setGeometry(place);
    // Drops anywhere on the window belong to the dialog, not to the control under the pointer.
    widget->setAcceptDrops(false);
  }
  ma1Radio_ = findChild<QRadioButton*>(QStringLiteral("formatMa1"));
  ma2Radio_ = findChild<QRadioButton*>(QStringLiteral("formatMa2"));
  octaveBox_ = findChild<QCheckBox*>(QStringLiteral("octaveCheck"));
  voiceSetupBox_ = findChild<QCheckBox*>(QStringLiteral("voiceSetup"));
  ezgetBox_ = findChild<QCheckBox*>(QStringLiteral("ezgetTrailer"));
  onTopBox_ = findChild<QCheckBox*>(QStringLiteral("alwaysOnTop"));

  connect(ma1Radio_, &QRadioButton::clicked, this, [this] { EnableMa1Options(true); });
  connect(ma2Radio_, &QRadioButton::clicked, this, [this] { EnableMa1Options(false); });
  connect(onTopBox_, &QCheckBox::clicked, this, [this](bool checked) { SetStaysOnTop(checked); });
  connect(opacitySlider_, &QSlider::valueChanged, this, &MainDialog::ApplyOpacity);
  playback_ = new LogPlayback(
      logBox_,
      [this](const std::string& line) {
        log_.insert(0, line);
        logPlaces_.emplace_front();  // keeps the compile lines' places on their lines
        ShowLog(log_);
      },
      this);
}

void MainDialog::ApplySettings(const ShellSettings& settings) {
  // A saved position is used only when both coordinates are non-zero and the point still lies
  // on a screen; a window restored off every screen could not be reached.
  const QPoint saved(settings.left, settings.top);
  if (settings.top != 0 && settings.left != 0 && QGuiApplication::screenAt(saved) != nullptr) {
    move(saved);
  }
  SetStaysOnTop(true);
  ShowOptions(settings.options);
}

void MainDialog::SaveSettings() {
  ShellSettings settings;
  const QPoint position = frameGeometry().topLeft();
  settings.top = position.y();
  settings.left = position.x();
  settings.options = Options();
  // A settings file that cannot be written is not reported.
  WriteSettings(settingsFiles_.writePath, settings);
}

DialogOptions MainDialog::Options() const {
  DialogOptions options;
  options.ma2 = ma2Radio_->isChecked();
  options.octaveCheck = octaveBox_->isChecked();
  options.voiceSetup = voiceSetupBox_->isChecked();
  options.ezgetTrailer = ezgetBox_->isChecked();
  options.alwaysOnTop = onTopBox_->isChecked();
  return options;
}

void MainDialog::ShowOptions(const DialogOptions& options) {
  (options.ma2 ? ma2Radio_ : ma1Radio_)->setChecked(true);
  EnableMa1Options(!options.ma2);
  octaveBox_->setChecked(options.octaveCheck);
  voiceSetupBox_->setChecked(options.voiceSetup);
  ezgetBox_->setChecked(options.ezgetTrailer);
  onTopBox_->setChecked(options.alwaysOnTop);
  if (!options.alwaysOnTop) {
    SetStaysOnTop(false);
  }
}

CompileOptions MainDialog::CurrentOptions() const {
  const DialogOptions shown = Options();
  CompileOptions options;
  options.ma2 = shown.ma2;
  options.voiceSetup = shown.voiceSetup ? 1 : 0;
  options.octaveCheck = shown.octaveCheck;
  options.ezgetTrailer = shown.ezgetTrailer;
  return options;
}

void MainDialog::CompileFiles(const std::vector<std::string>& paths) {
  waitingFiles_.insert(waitingFiles_.end(), paths.begin(), paths.end());
  // Files that come while a report box is open (handed over by another copy) are taken on by
  // the batch in progress, after its own.
  if (compiling_) {
    return;
  }
  const QScopedValueRollback<bool> busy(compiling_, true);
  const WaitCursor wait;
  const CompileOptions options = CurrentOptions();
  // The report waits for the user's click, so it is shown with the normal cursor.
  const auto showReport = [this](const std::string& text) {
    QApplication::restoreOverrideCursor();
    ShowInformation(DisplayText(text));
    QApplication::setOverrideCursor(Qt::WaitCursor);
  };
  DialogCompileServices services([this](const std::string& log) { ShowLog(log); }, showReport);
  while (!waitingFiles_.empty()) {
    std::string path = std::move(waitingFiles_.front());
    waitingFiles_.pop_front();
    if (IsMidiPath(path)) {
      // A MIDI file becomes the score beside it (never replacing one), which is compiled.
      const bool converted = WriteScoreOfMidi(path, options.ma2, false, log_, services);
      logPlaces_.push_front(services.TakeFaultPlace());
      if (!converted) {
        continue;
      }
      path = ScorePathOfMidi(path);
    }
    CompileProducts products;
    const CompileOutcome outcome = CompileFile(path, options, log_, services, &products);
    const ScoreTempo tempo = ScoreTempoOf(products);
    playback_->FileCompiled(path, outcome == CompileOutcome::kWritten,
                            static_cast<size_t>(std::count(log_.begin(), log_.end(), '\n')), &tempo,
                            &products.partNames);
    logPlaces_.push_front(services.TakeFaultPlace());  // one line per file
  }
  ShowLog(log_);
}

void MainDialog::ShowLog(const std::string& log) { logBox_->setPlainText(DisplayText(log)); }

std::string MainDialog::LogLinePlace(int line) const {
  const bool known = line >= 0 && static_cast<size_t>(line) < logPlaces_.size();
  return known ? logPlaces_[static_cast<size_t>(line)] : std::string();
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != logBox_->viewport() || event->type() != QEvent::ToolTip) {
    return QDialog::eventFilter(watched, event);
  }
  const auto* help = static_cast<QHelpEvent*>(event);
  const std::string place = LogLinePlace(logBox_->cursorForPosition(help->pos()).blockNumber());
  if (place.empty()) {
    QToolTip::hideText();
  } else {
    // Preformatted, so that the caret stands under its column.
    QToolTip::showText(help->globalPos(),
                       "<pre>" + QString::fromStdString(place).toHtmlEscaped() + "</pre>",
                       logBox_->viewport());
  }
  return true;
}

void MainDialog::ShowInformation(const QString& text) {
  QMessageBox::information(this, QString::fromUtf8(kMessageCaption), text);
}

void MainDialog::EnableMa1Options(bool enable) {
  octaveBox_->setEnabled(enable);
  voiceSetupBox_->setEnabled(enable);
}

void MainDialog::SetStaysOnTop(bool onTop) {
  Qt::WindowFlags flags = windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
  if (flags == windowFlags()) {
    return;
  }
  if (QWindow* window = windowHandle()) {
    // Setting the widget's flags would re-create the shown window; tell the window system
    // directly so the window stays where it is.
    overrideWindowFlags(flags);
    window->setFlags(flags);
  } else {
    setWindowFlags(flags);
  }
}

void MainDialog::ApplyOpacity(int sliderPosition) {
  // Window systems without translucent windows ignore this.
  setWindowOpacity(static_cast<double>(sliderPosition) / kOpaque);
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrag(event, compiling_); }

void MainDialog::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrag(event, compiling_); }

void MainDialog::dropEvent(QDropEvent* event) {
  if (AcceptFileDrag(event, compiling_)) {
    CompileFiles(DroppedFilePaths(*event->mimeData()));
  }
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape closes here
}

void MainDialog::done(int result) {
  playback_->Stop();
  SaveSettings();
  QDialog::done(result);
}
