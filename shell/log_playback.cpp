#include "shell/log_playback.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

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

// Real files, with each log line put on top of the dialog's log as it is made.
class LogLineServices : public FileCompileServices {
 public:
  explicit LogLineServices(std::function<void(const std::string&)> lineLogged)
      : m_lineLogged(std::move(lineLogged)) {}
  void LineLogged(const std::string& line) override { m_lineLogged(line); }

 private:
  std::function<void(const std::string&)> m_lineLogged;
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

void CLogPlayback::FileCompiled(const std::string& scorePath, bool written, size_t lineCount,
                                const ScoreTempo* tempo) {
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

void CLogPlayback::SaveWavOfLine(int line) {
  SaveBeside(line, [](const std::string& mmf, std::string& log, CompileServices& services) {
    WriteWavOfMmf(mmf, RenderOptions{}, log, services);
  });
}

void CLogPlayback::SaveMidiOfLine(int line) {
  // A copy: saving puts a line on top of the log.
  std::optional<ScoreTempo> tempo;
  if (line >= 0 && static_cast<size_t>(line) < m_lineFiles.size()) {
    tempo = m_lineFiles[line].tempo;
  }
  SaveBeside(line, [&tempo](const std::string& mmf, std::string& log, CompileServices& services) {
    WriteMidiOfMmf(mmf, log, services, tempo ? &*tempo : nullptr);
  });
}

void CLogPlayback::SaveBeside(int line, const SaveWriter& write) {
  const std::string mmf = MmfOfLine(line);
  if (mmf.empty()) {
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  LogLineServices services([this](const std::string& logged) {
    m_lineFiles.emplace_front();
    m_addLine(logged);
  });
  std::string log;  // the dialog keeps its own log; the line reaches it through the services
  write(mmf, log, services);
  QApplication::restoreOverrideCursor();
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
  QAction* midi = menu.addAction(QString::fromUtf8("MIDIで保存"));
  play->setEnabled(hasTune);
  stop->setEnabled(m_player->IsBusy());
  wav->setEnabled(hasTune);
  midi->setEnabled(hasTune);
  QAction* chosen = menu.exec(m_viewport->mapToGlobal(viewportPoint));
  if (chosen == play) {
    PlayLine(line);
  } else if (chosen == stop) {
    Stop();
  } else if (chosen == wav) {
    SaveWavOfLine(line);
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
