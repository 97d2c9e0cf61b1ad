#ifndef QUAVREX_SHELL_LOG_PLAYBACK_H_
#define QUAVREX_SHELL_LOG_PLAYBACK_H_

#include <QObject>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "midi/midi_export.h"

class CTunePlayer;
class CompileServices;
class QPlainTextEdit;
class QPoint;

// Listening from the log: each log line remembers the .MMF its compile wrote, if any.
// Double-clicking such a line plays that file; the log's context menu offers "再生" (play),
// "停止" (stop), "WAVで保存" and "MIDIで保存" (write the .wav or the .mid beside the .MMF).
// Problems and written files are reported as log lines.
class CLogPlayback : public QObject {
  Q_OBJECT

 public:
  // Puts a line (UTF-8, ending in "\r\n") on top of the log and shows the log.
  using AddLine = std::function<void(const std::string& line)>;

  CLogPlayback(QPlainTextEdit* logBox, AddLine addLine, QObject* parent);

  // The compile of `scorePath` has grown the log to `lineCount` lines; `written` when it
  // wrote its .MMF, whose MIDI file then follows `tempo`, the score's time, when given.
  void FileCompiled(const std::string& scorePath, bool written, size_t lineCount,
                    const ScoreTempo* tempo = nullptr);
  // The .MMF that log line `line` (0 = the top one) reports, or "" when it reports none.
  std::string MmfOfLine(int line) const;
  // The log line under `viewportPoint` of the log box.
  int LineAt(const QPoint& viewportPoint) const;

  // Plays the .MMF of log line `line`; a line without one does nothing.
  void PlayLine(int line);
  // Stops the tune that plays.
  void Stop();
  // Writes the .wav beside the .MMF of log line `line` and reports it in the log; a line
  // without an .MMF does nothing.
  void SaveWavOfLine(int line);
  // Writes the .mid beside the .MMF of log line `line` (with the tempo of the score compiled,
  // else at tempo 120) and reports it in the log; a line without an .MMF does nothing.
  void SaveMidiOfLine(int line);

  CTunePlayer& Player() { return *m_player; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Writes a file beside an .MMF through the services, which log its line.
  using SaveWriter =
      std::function<void(const std::string& mmf, std::string& log, CompileServices& services)>;

  void ShowMenu(const QPoint& viewportPoint);
  void SaveBeside(int line, const SaveWriter& write);
  void AddReportLine(const std::string& path, const std::string& message);

  QPlainTextEdit* m_logBox;
  // The log box's viewport, kept apart: events reach the filter while the log box is being
  // destroyed, when it can no longer be asked for it.
  QWidget* m_viewport;
  AddLine m_addLine;
  CTunePlayer* m_player;
  // What a log line reports: the .MMF its compile wrote ("" for none) and the score's time.
  struct LineTune {
    std::string mmf;
    std::optional<ScoreTempo> tempo;
  };

  std::deque<LineTune> m_lineFiles;  // per log line, top first
};

#endif  // QUAVREX_SHELL_LOG_PLAYBACK_H_
