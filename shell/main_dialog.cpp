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

CMainDialog::CMainDialog(const SettingsFiles& files, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_settingsFiles(files) {
  setWindowTitle(QString::fromUtf8(kDialogCaption));
  setFont(ChooseDialogFont());
  setWindowIcon(ProgramIcon());
  BuildControls();
  ApplySettings(ReadSettings(m_settingsFiles.readPath));

  m_opacitySlider->setRange(1, kOpaque);
  m_opacitySlider->setSingleStep(kOpacityStep);
  m_opacitySlider->setPageStep(kOpacityStep);
  m_opacitySlider->setValue(kOpaque);
  ShowLog(m_log);
  setAcceptDrops(true);
  ApplyOpacity(m_opacitySlider->value());
}

void CMainDialog::BuildControls() {
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
        m_logBox = new QPlainTextEdit(this);
        m_logBox->setReadOnly(true);
        m_logBox->setUndoRedoEnabled(false);
        m_logBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_logBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_logBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_logBox->viewport()->installEventFilter(this);
        widget = m_logBox;
        break;
      }
      case ControlKind::kSlider:
        // Least opaque at the top, as a vertical track bar runs.
        m_opacitySlider = new QSlider(Qt::Vertical, this);
        m_opacitySlider->setTickPosition(QSlider::NoTicks);
        m_opacitySlider->setInvertedAppearance(true);
        m_opacitySlider->setInvertedControls(true);
        widget = m_opacitySlider;
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
  m_ma1Radio = findChild<QRadioButton*>(QStringLiteral("formatMa1"));
  m_ma2Radio = findChild<QRadioButton*>(QStringLiteral("formatMa2"));
  m_octaveBox = findChild<QCheckBox*>(QStringLiteral("octaveCheck"));
  m_voiceSetupBox = findChild<QCheckBox*>(QStringLiteral("voiceSetup"));
  m_ezgetBox = findChild<QCheckBox*>(QStringLiteral("ezgetTrailer"));
  m_onTopBox = findChild<QCheckBox*>(QStringLiteral("alwaysOnTop"));

  connect(m_ma1Radio, &QRadioButton::clicked, this, [this] { EnableMa1Options(true); });
  connect(m_ma2Radio, &QRadioButton::clicked, this, [this] { EnableMa1Options(false); });
  connect(m_onTopBox, &QCheckBox::clicked, this, [this](bool checked) { SetStaysOnTop(checked); });
  connect(m_opacitySlider, &QSlider::valueChanged, this, &CMainDialog::ApplyOpacity);
  m_playback = new CLogPlayback(
      m_logBox,
      [this](const std::string& line) {
        m_log.insert(0, line);
        m_logPlaces.emplace_front();  // keeps the compile lines' places on their lines
        ShowLog(m_log);
      },
      this);
}

void CMainDialog::ApplySettings(const ShellSettings& settings) {
  // A saved position is used only when both coordinates are non-zero and the point still lies
  // on a screen; a window restored off every screen could not be reached.
  const QPoint saved(settings.left, settings.top);
  if (settings.top != 0 && settings.left != 0 && QGuiApplication::screenAt(saved) != nullptr) {
    move(saved);
  }
  SetStaysOnTop(true);
  ShowOptions(settings.options);
}

void CMainDialog::SaveSettings() {
  ShellSettings settings;
  const QPoint position = frameGeometry().topLeft();
  settings.top = position.y();
  settings.left = position.x();
  settings.options = Options();
  // A settings file that cannot be written is not reported.
  WriteSettings(m_settingsFiles.writePath, settings);
}

DialogOptions CMainDialog::Options() const {
  DialogOptions options;
  options.ma2 = m_ma2Radio->isChecked();
  options.octaveCheck = m_octaveBox->isChecked();
  options.voiceSetup = m_voiceSetupBox->isChecked();
  options.ezgetTrailer = m_ezgetBox->isChecked();
  options.alwaysOnTop = m_onTopBox->isChecked();
  return options;
}

void CMainDialog::ShowOptions(const DialogOptions& options) {
  (options.ma2 ? m_ma2Radio : m_ma1Radio)->setChecked(true);
  EnableMa1Options(!options.ma2);
  m_octaveBox->setChecked(options.octaveCheck);
  m_voiceSetupBox->setChecked(options.voiceSetup);
  m_ezgetBox->setChecked(options.ezgetTrailer);
  m_onTopBox->setChecked(options.alwaysOnTop);
  if (!options.alwaysOnTop) {
    SetStaysOnTop(false);
  }
}

CompileOptions CMainDialog::CurrentOptions() const {
  const DialogOptions shown = Options();
  CompileOptions options;
  options.ma2 = shown.ma2;
  options.voiceSetup = shown.voiceSetup ? 1 : 0;
  options.octaveCheck = shown.octaveCheck;
  options.ezgetTrailer = shown.ezgetTrailer;
  return options;
}

void CMainDialog::CompileFiles(const std::vector<std::string>& paths) {
  m_waitingFiles.insert(m_waitingFiles.end(), paths.begin(), paths.end());
  // Files that come while a report box is open (handed over by another copy) are taken on by
  // the batch in progress, after its own.
  if (m_compiling) {
    return;
  }
  const QScopedValueRollback<bool> busy(m_compiling, true);
  const WaitCursor wait;
  const CompileOptions options = CurrentOptions();
  // The report waits for the user's click, so it is shown with the normal cursor.
  const auto showReport = [this](const std::string& text) {
    QApplication::restoreOverrideCursor();
    ShowInformation(DisplayText(text));
    QApplication::setOverrideCursor(Qt::WaitCursor);
  };
  DialogCompileServices services([this](const std::string& log) { ShowLog(log); }, showReport);
  while (!m_waitingFiles.empty()) {
    std::string path = std::move(m_waitingFiles.front());
    m_waitingFiles.pop_front();
    if (IsMidiPath(path)) {
      // A MIDI file becomes the score beside it (never replacing one), which is compiled.
      const bool converted = WriteScoreOfMidi(path, options.ma2, false, m_log, services);
      m_logPlaces.push_front(services.TakeFaultPlace());
      if (!converted) {
        continue;
      }
      path = ScorePathOfMidi(path);
    }
    CompileProducts products;
    const CompileOutcome outcome = CompileFile(path, options, m_log, services, &products);
    const ScoreTempo tempo = ScoreTempoOf(products);
    m_playback->FileCompiled(path, outcome == CompileOutcome::kWritten,
                             static_cast<size_t>(std::count(m_log.begin(), m_log.end(), '\n')),
                             &tempo, &products.partNames);
    m_logPlaces.push_front(services.TakeFaultPlace());  // one line per file
  }
  ShowLog(m_log);
}

void CMainDialog::ShowLog(const std::string& log) { m_logBox->setPlainText(DisplayText(log)); }

std::string CMainDialog::LogLinePlace(int line) const {
  const bool known = line >= 0 && static_cast<size_t>(line) < m_logPlaces.size();
  return known ? m_logPlaces[static_cast<size_t>(line)] : std::string();
}

bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_logBox->viewport() || event->type() != QEvent::ToolTip) {
    return QDialog::eventFilter(watched, event);
  }
  const auto* help = static_cast<QHelpEvent*>(event);
  const std::string place = LogLinePlace(m_logBox->cursorForPosition(help->pos()).blockNumber());
  if (place.empty()) {
    QToolTip::hideText();
  } else {
    // Preformatted, so that the caret stands under its column.
    QToolTip::showText(help->globalPos(),
                       "<pre>" + QString::fromStdString(place).toHtmlEscaped() + "</pre>",
                       m_logBox->viewport());
  }
  return true;
}

void CMainDialog::ShowInformation(const QString& text) {
  QMessageBox::information(this, QString::fromUtf8(kMessageCaption), text);
}

void CMainDialog::EnableMa1Options(bool enable) {
  m_octaveBox->setEnabled(enable);
  m_voiceSetupBox->setEnabled(enable);
}

void CMainDialog::SetStaysOnTop(bool onTop) {
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

void CMainDialog::ApplyOpacity(int sliderPosition) {
  // Window systems without translucent windows ignore this.
  setWindowOpacity(static_cast<double>(sliderPosition) / kOpaque);
}

void CMainDialog::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrag(event, m_compiling); }

void CMainDialog::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrag(event, m_compiling); }

void CMainDialog::dropEvent(QDropEvent* event) {
  if (AcceptFileDrag(event, m_compiling)) {
    CompileFiles(DroppedFilePaths(*event->mimeData()));
  }
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape closes here
}

void CMainDialog::done(int result) {
  m_playback->Stop();
  SaveSettings();
  QDialog::done(result);
}
