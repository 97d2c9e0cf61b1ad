#include "shell/log_playback.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "core/sjis.h"
#include "shell/tune_player.h"
#include "synth/mmf_render.h"

namespace {

// The name a log line shows for `path`: the part after its last "/".
std::string DisplayNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return FileNameForDisplay(slash == std::string::npos ? path : path.substr(slash + 1));
}

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

void CLogPlayback::FileCompiled(const std::string& scorePath, bool written, size_t lineCount) {
  if (lineCount <= m_lineFiles.size()) {
    return;
  }
  const size_t added = lineCount - m_lineFiles.size();
  for (size_t i = 1; i < added; ++i) {
    m_lineFiles.emplace_front();
  }
  // The compile's own line is the newest, on top.
  m_lineFiles.push_front(written ? scorePath.substr(0, scorePath.rfind('.')) + ".MMF" : "");
}

std::string CLogPlayback::MmfOfLine(int line) const {
  return line >= 0 && static_cast<size_t>(line) < m_lineFiles.size() ? m_lineFiles[line] : "";
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
  const std::string mmf = MmfOfLine(line);
  if (mmf.empty()) {
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string report;
  ExportWavBeside(mmf, RenderOptions{}, report);
  QApplication::restoreOverrideCursor();
  m_lineFiles.emplace_front();
  m_addLine(report);
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
  play->setEnabled(hasTune);
  stop->setEnabled(m_player->IsBusy());
  wav->setEnabled(hasTune);
  QAction* chosen = menu.exec(m_viewport->mapToGlobal(viewportPoint));
  if (chosen == play) {
    PlayLine(line);
  } else if (chosen == stop) {
    Stop();
  } else if (chosen == wav) {
    SaveWavOfLine(line);
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
