#ifndef QUAVREX_SHELL_TUNE_PLAYER_H_
#define QUAVREX_SHELL_TUNE_PLAYER_H_

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QAudioSink;
class QBuffer;
class QThread;

// Plays .MMF files on the default audio output (Qt Multimedia). The tune is rendered on a
// worker thread and then handed to an audio sink, so the window stays responsive (drops are
// taken while a tune is prepared or playing). One tune at a time: playing another, or Stop,
// ends the one before.
class TunePlayer : public QObject {
  Q_OBJECT

 public:
  explicit TunePlayer(QObject* parent = nullptr);
  // Stops playing and cancels a render in progress, waiting for its thread.
  ~TunePlayer() override;

  // Starts playing the .MMF at `mmfPath` (the bytes the file system names it by): reads it,
  // then returns while it is rendered. A problem (a file that is no regular file or cannot be
  // read, no audio device, a file that cannot be rendered, a sink that fails) is reported
  // through Problem.
  void Play(const std::string& mmfPath);
  // Stops the tune that plays or is being prepared. Does nothing when none is.
  void Stop();
  // True from Play until the tune has ended or is stopped.
  bool IsBusy() const;

 signals:
  // Why `mmfPath` could not be played: a message (UTF-8) for the log.
  void Problem(const std::string& mmfPath, const std::string& message);
  // The tune of `mmfPath` has been handed to the audio output and is playing.
  void Started(const std::string& mmfPath);
  // The tune has played to its end or was stopped.
  void Ended();

 private:
  struct Render;
  void StartSink(const std::shared_ptr<Render>& render);
  void CancelRender();
  void StopSink();

  std::shared_ptr<Render> render_;  // the render in progress, if any
  std::vector<QThread*> threads_;   // render threads still running (cancelled ones too)
  QAudioSink* sink_ = nullptr;
  QBuffer* buffer_ = nullptr;
  std::string playing_;  // the .MMF the sink plays
};

#endif  // QUAVREX_SHELL_TUNE_PLAYER_H_
