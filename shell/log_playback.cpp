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
  explicit LineKeepingServices(std::vector<std::string>& lines) : m_lines(lines) {}
  void LineLogged(const std::string& line) override { m_lines.push_back(line); }

 private:
  std::vector<std::string>& m_lines;
};

}  // namespace

CLogPlayback::CLogPlayback(QPlainTextEdit* logBox, AddLine addLine, QObject* parent)
    : QObject(parent),
      m_logBox(logBox),
      m_viewport(logBox->viewport()),
      m_addLine(std::move(addLine)),
      m_player(new CTunePlayer(this)) {
  m_viewport->installEventFilter(this);
  m_logBox->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_logBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& point) { ShowMenu(point); });
  connect(m_player, &CTunePlayer::Problem, this,
          [this](const std::string& path, const std::string& message) {
            AddReportLine(path, message);
          });
}

CLogPlayback::~CLogPlayback() {
  // A save is finished rather than cut short: the user asked for its file.
  for (QThread* thread : m_saves) {
    thread->wait();
    delete thread;
  }
}

void CLogPlayback::FileCompiled(const std::string& scorePath, bool written, size_t lineCount,
                                const ScoreTempo* tempo,
                                const std::array<std::string, kSequenceSlots>* partNames) {
  if (lineCount <= m_lineFiles.size()) {
    return;
  }
  const size_t added = lineCount - m_lineFiles.size();
  for (size_t i = 1; i < added; ++i) {
    m_lineFiles.emplace_front();
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
  m_lineFiles.push_front(std::move(tune));
}

std::string CLogPlayback::MmfOfLine(int line) const {
  return line >= 0 && static_cast<size_t>(line) < m_lineFiles.size() ? m_lineFiles[line].mmf : "";
}

int CLogPlayback::LineAt(const QPoint& viewportPoint) const {
  return m_logBox->cursorForPosition(viewportPoint).block().blockNumber();
}

void CLogPlayback::PlayLine(int line) {
  const std::string mmf = MmfOfLine(line);
  if (!mmf.empty()) {
    m_player->Play(mmf);
  }
}

void CLogPlayback::Stop() { m_player->Stop(); }

void CLogPlayback::SaveWavOfLine(int line, bool stems) {
  std::optional<std::array<std::string, kSequenceSlots>> names;
  if (line >= 0 && static_cast<size_t>(line) < m_lineFiles.size()) {
    names = m_lineFiles[line].partNames;
  }
  SaveBeside(line,
             [stems, names](const std::string& mmf, std::string& log, CompileServices& services) {
               WriteWavOfMmf(mmf, RenderOptions{}, log, services, stems, names ? &*names : nullptr);
             });
}

void CLogPlayback::SaveMidiOfLine(int line) {
  // A copy: saving puts a line on top of the log.
  std::optional<ScoreTempo> tempo;
  if (line >= 0 && static_cast<size_t>(line) < m_lineFiles.size()) {
    tempo = m_lineFiles[line].tempo;
  }
  SaveBeside(line, [tempo](const std::string& mmf, std::string& log, CompileServices& services) {
    WriteMidiOfMmf(mmf, log, services, tempo ? &*tempo : nullptr);
  });
}

void CLogPlayback::SaveBeside(int line, SaveWriter write) {
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
  m_saves.push_back(thread);
  connect(thread, &QThread::finished, this, [this, lines, thread] {
    std::erase(m_saves, thread);
    thread->deleteLater();
    for (const std::string& logged : *lines) {
      m_lineFiles.emplace_front();
      m_addLine(logged);
    }
    emit Saved();
  });
  thread->start();
}

void CLogPlayback::AddReportLine(const std::string& path, const std::string& message) {
  m_lineFiles.emplace_front();
  m_addLine(DisplayNameOf(path) + " " + message + "\r\n");
}

void CLogPlayback::ShowMenu(const QPoint& viewportPoint) {
  const int line = LineAt(viewportPoint);
  const bool hasTune = !MmfOfLine(line).empty();
  QMenu menu(m_logBox);
  QAction* play = menu.addAction(QString::fromUtf8("再生"));
  QAction* stop = menu.addAction(QString::fromUtf8("停止"));
  QAction* wav = menu.addAction(QString::fromUtf8("WAVで保存"));
  QAction* stems = menu.addAction(QString::fromUtf8("パート別WAVで保存"));
  QAction* midi = menu.addAction(QString::fromUtf8("MIDIで保存"));
  play->setEnabled(hasTune);
  stop->setEnabled(m_player->IsBusy());
  wav->setEnabled(hasTune);
  stems->setEnabled(hasTune);
  midi->setEnabled(hasTune);
  QAction* chosen = menu.exec(m_viewport->mapToGlobal(viewportPoint));
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

bool CLogPlayback::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_viewport && event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      PlayLine(LineAt(mouse->position().toPoint()));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}
