#include "shell/log_playback.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QThread>
#include <utility>
#include <vector>

#include "core/sjis.h"
#include "export/midi_output.h"
#include "export/wav_output.h"
#include "job/file_services.h"
#include "shell/tune_player.h"

namespace {

// The name a log line shows for `path`: the part after its last "/".
std::string DisplayNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return FileNameForDisplay(slash == std::string::npos ? path : path.substr(slash + 1));
}

// Real files, with each log line kept for the window, which shows them when the save is done.
class LineKeepingServices : public FileCompileServices {
 public:
  explicit LineKeepingServices(std::vector<std::string>& lines) : lines_(lines) {}
  void LineLogged(const std::string& line) override { lines_.push_back(line); }

 private:
  std::vector<std::string>& lines_;
};

}  // namespace

LogPlayback::LogPlayback(QPlainTextEdit* logBox, AddLine addLine, QObject* parent)
    : QObject(parent),
      logBox_(logBox),
      viewport_(logBox->viewport()),
      addLine_(std::move(addLine)),
      player_(new TunePlayer(this)) {
  viewport_->installEventFilter(this);
  logBox_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(logBox_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& point) { ShowMenu(point); });
  connect(player_, &TunePlayer::Problem, this,
          [this](const std::string& path, const std::string& message) {
            AddReportLine(path, message);
          });
}

LogPlayback::~LogPlayback() {
  // A save is finished rather than cut short: the user asked for its file.
  for (QThread* thread : saves_) {
    thread->wait();
    delete thread;
  }
}

void LogPlayback::FileCompiled(const std::string& scorePath, bool written, size_t lineCount,
                               const ScoreTempo* tempo,
                               const std::array<std::string, kSequenceSlots>* partNames) {
  if (lineCount <= lineFiles_.size()) {
    return;
  }
  const size_t added = lineCount - lineFiles_.size();
  for (size_t i = 1; i < added; ++i) {
    lineFiles_.emplace_front();
  }
  // The compile's own line is the newest, on top.
  LineTune tune;
  if (written) {
    tune.mmf = scorePath.substr(0, scorePath.rfind('.')) + ".MMF";
    if (tempo != nullptr) {
      tune.tempo = *tempo;
    }
    if (partNames != nullptr) {
      tune.partNames = *partNames;
    }
  }
  lineFiles_.push_front(std::move(tune));
}

std::string LogPlayback::MmfOfLine(int line) const {
  return line >= 0 && static_cast<size_t>(line) < lineFiles_.size() ? lineFiles_[line].mmf : "";
}

int LogPlayback::LineAt(const QPoint& viewportPoint) const {
  return logBox_->cursorForPosition(viewportPoint).block().blockNumber();
}

void LogPlayback::PlayLine(int line) {
  const std::string mmf = MmfOfLine(line);
  if (!mmf.empty()) {
    player_->Play(mmf);
  }
}

void LogPlayback::Stop() { player_->Stop(); }

void LogPlayback::SaveWavOfLine(int line, bool stems) {
  std::optional<std::array<std::string, kSequenceSlots>> names;
  if (line >= 0 && static_cast<size_t>(line) < lineFiles_.size()) {
    names = lineFiles_[line].partNames;
  }
  SaveBeside(line,
             [stems, names](const std::string& mmf, std::string& log, CompileServices& services) {
               WriteWavOfMmf(mmf, RenderOptions{}, log, services, stems, names ? &*names : nullptr);
             });
}

void LogPlayback::SaveMidiOfLine(int line) {
  // A copy: saving puts a line on top of the log.
  std::optional<ScoreTempo> tempo;
  if (line >= 0 && static_cast<size_t>(line) < lineFiles_.size()) {
    tempo = lineFiles_[line].tempo;
  }
  SaveBeside(line, [tempo](const std::string& mmf, std::string& log, CompileServices& services) {
    WriteMidiOfMmf(mmf, log, services, tempo ? &*tempo : nullptr);
  });
}

void LogPlayback::SaveBeside(int line, SaveWriter write) {
  const std::string mmf = MmfOfLine(line);
  if (mmf.empty()) {
    return;
  }
  // Rendering a long tune, or the retries at a target that cannot be opened, take seconds:
  // the window goes on taking drops and clicks meanwhile.
  auto lines = std::make_shared<std::vector<std::string>>();
  QThread* thread = QThread::create([lines, mmf, write = std::move(write)] {
    LineKeepingServices services(*lines);
    std::string log;  // the dialog keeps its own log; the lines reach it when the save ends
    write(mmf, log, services);
  });
  saves_.push_back(thread);
  connect(thread, &QThread::finished, this, [this, lines, thread] {
    std::erase(saves_, thread);
    thread->deleteLater();
    for (const std::string& logged : *lines) {
      lineFiles_.emplace_front();
      addLine_(logged);
    }
    emit Saved();
  });
  thread->start();
}

void LogPlayback::AddReportLine(const std::string& path, const std::string& message) {
  lineFiles_.emplace_front();
  addLine_(DisplayNameOf(path) + " " + message + "\r\n");
}

void LogPlayback::ShowMenu(const QPoint& viewportPoint) {
  const int line = LineAt(viewportPoint);
  const bool hasTune = !MmfOfLine(line).empty();
  QMenu menu(logBox_);
  QAction* play = menu.addAction(QString::fromUtf8("再生"));
  QAction* stop = menu.addAction(QString::fromUtf8("停止"));
  QAction* wav = menu.addAction(QString::fromUtf8("WAVで保存"));
  QAction* stems = menu.addAction(QString::fromUtf8("パート別WAVで保存"));
  QAction* midi = menu.addAction(QString::fromUtf8("MIDIで保存"));
  play->setEnabled(hasTune);
  stop->setEnabled(player_->IsBusy());
  wav->setEnabled(hasTune);
  stems->setEnabled(hasTune);
  midi->setEnabled(hasTune);
  QAction* chosen = menu.exec(viewport_->mapToGlobal(viewportPoint));
  if (chosen == play) {
    PlayLine(line);
  } else if (chosen == stop) {
    Stop();
  } else if (chosen == wav) {
    SaveWavOfLine(line);
  } else if (chosen == stems) {
    SaveWavOfLine(line, true);
  } else if (chosen == midi) {
    SaveMidiOfLine(line);
  }
}

bool LogPlayback::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport_ && event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      PlayLine(LineAt(mouse->position().toPoint()));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}
