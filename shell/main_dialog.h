#ifndef QUAVREX_SHELL_MAIN_DIALOG_H_
#define QUAVREX_SHELL_MAIN_DIALOG_H_

#include <QDialog>
#include <deque>
#include <string>
#include <vector>

#include "job/compile_job.h"
#include "shell/settings_file.h"

class LogPlayback;
class QCheckBox;
class QMimeData;
class QPlainTextEdit;
class QRadioButton;
class QSlider;

// The program's one window. Score files dropped on it are compiled in drop order with the
// options of its controls, and each file's line is put on top of the log. The options and the
// window position are read from the settings file when the dialog is made and written back when
// it closes.
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // Builds the controls and applies the settings read from `files.readPath`.
  explicit MainDialog(const SettingsFiles& files, QWidget* parent = nullptr);

  // Compiles the files at `paths` (the bytes the file system names them by) in order with the
  // options of the controls, under a wait cursor, then shows the log. Called while a batch is in
  // progress, it adds `paths` to the end of that batch.
  void CompileFiles(const std::vector<std::string>& paths);

  // The options as the controls show them; the controls are where the dialog keeps them.
  DialogOptions Options() const;
  // Shows `options` in the controls, with what follows from them (the MA1 boxes usable or not,
  // the window on top or not).
  void ShowOptions(const DialogOptions& options);
  // The options as the compile job takes them.
  CompileOptions CurrentOptions() const;

  std::string log_;  // the log (UTF-8, lines end in "\r\n", newest first)

  // Shows `log` in the log box (the compile job asks for it before a message box).
  void ShowLog(const std::string& log);

  // Listening from the log: double-click, context menu, the player.
  LogPlayback& Playback() { return *playback_; }

  // Where in its score the compile error of log line `line` (0 = the newest) lies, as the
  // line's tool tip shows it: path:line:column, the source line and a caret. Empty when the
  // line has no place. The place is a tool tip so that the log keeps exactly its lines.
  std::string LogLinePlace(int line) const;

 protected:
  // Shows the compile job's report `text` in an information box captioned "QUAVREX" and waits.
  virtual void ShowInformation(const QString& text);

  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Tool tips of the log box's lines: the place of a compile error.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Every way of closing ends here: the settings are written, then the window closes.
  void done(int result) override;

 private:
  void BuildControls();
  void ApplySettings(const ShellSettings& settings);
  void SaveSettings();
  void EnableMa1Options(bool enable);
  void SetStaysOnTop(bool onTop);
  void ApplyOpacity(int sliderPosition);

  SettingsFiles settingsFiles_;
  bool compiling_ = false;                // a batch of dropped files is being compiled
  std::deque<std::string> waitingFiles_;  // the files of the batch not yet compiled
  std::deque<std::string> logPlaces_;     // per log line, newest first: its fault's place
  QRadioButton* ma1Radio_ = nullptr;
  QRadioButton* ma2Radio_ = nullptr;
  QCheckBox* octaveBox_ = nullptr;
  QCheckBox* voiceSetupBox_ = nullptr;
  QCheckBox* ezgetBox_ = nullptr;
  QCheckBox* onTopBox_ = nullptr;
  QPlainTextEdit* logBox_ = nullptr;
  QSlider* opacitySlider_ = nullptr;
  LogPlayback* playback_ = nullptr;  // plays the .MMF of a log line
};

// The files of this machine named by dropped data (text/uri-list), in the order given, as the
// bytes the file system names them by. URLs of another scheme or another host and relative
// paths name no file here and are skipped.
std::vector<std::string> DroppedFilePaths(const QMimeData& data);

#endif  // QUAVREX_SHELL_MAIN_DIALOG_H_
