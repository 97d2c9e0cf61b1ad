#ifndef QUAVREX_SHELL_LOG_PLAYBACK_H_
#define QUAVREX_SHELL_LOG_PLAYBACK_H_

#include <QObject>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/compile_limits.h"
#include "midi/midi_export.h"

class TunePlayer;
class CompileServices;
class QPlainTextEdit;
class QPoint;
class QThread;

// Listening from the log: each log line remembers the .MMF its compile wrote, if any.
// Double-clicking such a line plays that file; the log's context menu offers "再生" (play),
// "停止" (stop), "WAVで保存", "パート別WAVで保存" and "MIDIで保存" (write the .wav, the .wav and
// one per part, or the .mid beside the .MMF). Problems and written files are reported as log
// lines. Files are written on worker threads, like a tune is rendered for playing, so the
// window stays responsive meanwhile; their log lines arrive when they are done.
class LogPlayback : public QObject {
  Q_OBJECT

 public:
  // Puts a line (UTF-8, ending in "\r\n") on top of the log and shows the log.
  using AddLine = std::function<void(const std::string& line)>;

  LogPlayback(QPlainTextEdit* logBox, AddLine addLine, QObject* parent);
  // Waits for the files being written.
  ~LogPlayback() override;

  // The compile of `scorePath` has grown the log to `lineCount` lines; `written` when it
  // wrote its .MMF, whose MIDI file then follows `tempo`, the score's time, and whose stems
  // are named after `partNames`, the score's parts (CompileProducts::partNames), when given.
  void FileCompiled(const std::string& scorePath, bool written, size_t lineCount,
                    const ScoreTempo* tempo = nullptr,
                    const std::array<std::string, kSequenceSlots>* partNames = nullptr);
  // The .MMF that log line `line` (0 = the top one) reports, or "" when it reports none.
  std::string MmfOfLine(int line) const;
  // The log line under `viewportPoint` of the log box.
  int LineAt(const QPoint& viewportPoint) const;

  // Plays the .MMF of log line `line`; a line without one does nothing.
  void PlayLine(int line);
  // Stops the tune that plays.
  void Stop();
  // Starts writing the .wav beside the .MMF of log line `line` (with `stems`, also one .wav
  // per part that sounds) and returns; the log reports it when done. A line without an .MMF
  // does nothing.
  void SaveWavOfLine(int line, bool stems = false);
  // Starts writing the .mid beside the .MMF of log line `line` (with the tempo of the score
  // compiled, else at tempo 120) and returns; the log reports it when done. A line without an
  // .MMF does nothing.
  void SaveMidiOfLine(int line);
  // True while files are being written.
  bool IsSaving() const { return !saves_.empty(); }

  TunePlayer& Player() { return *player_; }

 signals:
  // A save has ended and its log lines are on top of the log.
  void Saved();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Writes a file beside an .MMF through the services, which log its line. Runs on a worker
  // thread: it must own whatever it uses.
  using SaveWriter =
      std::function<void(const std::string& mmf, std::string& log, CompileServices& services)>;

  void ShowMenu(const QPoint& viewportPoint);
  void SaveBeside(int line, SaveWriter write);
  void AddReportLine(const std::string& path, const std::string& message);

  QPlainTextEdit* logBox_;
  // The log box's viewport, kept apart: events reach the filter while the log box is being
  // destroyed, when it can no longer be asked for it.
  QWidget* viewport_;
  AddLine addLine_;
  TunePlayer* player_;
  // What a log line reports: the .MMF its compile wrote ("" for none) and the score's time.
  struct LineTune {
    std::string mmf;
    std::optional<ScoreTempo> tempo;
    std::optional<std::array<std::string, kSequenceSlots>> partNames;
  };

  std::deque<LineTune> lineFiles_;  // per log line, top first
  std::vector<QThread*> saves_;     // the worker threads of saves not yet reported
};

#endif  // QUAVREX_SHELL_LOG_PLAYBACK_H_
