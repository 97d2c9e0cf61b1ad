#include "shell/tune_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QMediaDevices>
#include <QThread>
#include <vector>

#include "job/file_services.h"
#include "synth/mmf_render.h"

namespace {

constexpr const char* kNoDevice = "音声出力デバイスが見つかりません。";
constexpr const char* kOpenFailed = "ファイルのオープンに失敗しました。";
constexpr const char* kPlayFailed = "音声の再生に失敗しました。";
constexpr int kPreferredRate = 44100;

// 16-bit samples at the device's rate and channel count: 44100 Hz mono where the device
// takes it, else its own preferred rate and channels.
QAudioFormat OutputFormat(const QAudioDevice& device) {
  QAudioFormat format;
  format.setSampleRate(kPreferredRate);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format)) {
    const QAudioFormat preferred = device.preferredFormat();
    format.setSampleRate(preferred.sampleRate() > 0 ? preferred.sampleRate() : kPreferredRate);
    format.setChannelCount(preferred.channelCount() > 0 ? preferred.channelCount() : 1);
  }
  return format;
}

}  // namespace

// One render on the worker thread: its input, its result, and the flag that cancels it.
struct TunePlayer::Render {
  std::string mmfPath;
  std::string bytes;  // the .MMF's
  QAudioDevice device;
  QAudioFormat format;
  std::atomic<bool> cancel{false};
  bool ok = false;
  std::string error;
  QByteArray pcm;  // interleaved 16-bit frames in the device's format

  void Run() {
    RenderOptions options;
    options.rate = format.sampleRate();
    options.cancel = &cancel;
    std::vector<int16_t> samples;
    ok = RenderMmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options, samples,
                   error);
    if (!ok) {
      return;
    }
    const int channels = format.channelCount();
    pcm.resize(static_cast<qsizetype>(samples.size() * channels * sizeof(int16_t)));
    auto* frames = reinterpret_cast<int16_t*>(pcm.data());
    for (size_t i = 0; i < samples.size(); ++i) {
      for (int c = 0; c < channels; ++c) {
        *frames++ = samples[i];
      }
    }
  }
};

TunePlayer::TunePlayer(QObject* parent) : QObject(parent) {}

TunePlayer::~TunePlayer() {
  CancelRender();
  StopSink();
  // A cancelled render stops within one control block.
  for (QThread* thread : threads_) {
    thread->wait();
    delete thread;
  }
}

void TunePlayer::Play(const std::string& mmfPath) {
  Stop();
  // Read here, through the services that take regular files only: a pipe put in the file's
  // place would keep a render thread waiting for a writer, and the window waits for that
  // thread when it closes.
  std::string bytes;
  if (!FileCompileServices().ReadWholeFile(mmfPath, bytes)) {
    emit Problem(mmfPath, kOpenFailed);
    return;
  }
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    emit Problem(mmfPath, kNoDevice);
    return;
  }
  auto render = std::make_shared<Render>();
  render->mmfPath = mmfPath;
  render->bytes = std::move(bytes);
  render->device = device;
  render->format = OutputFormat(device);
  render_ = render;
  QThread* thread = QThread::create([render] { render->Run(); });
  threads_.push_back(thread);
  connect(thread, &QThread::finished, this, [this, render, thread] {
    std::erase(threads_, thread);
    thread->deleteLater();
    if (render_ != render || render->cancel) {
      return;  // stopped, or replaced by a later tune
    }
    render_.reset();
    if (!render->ok) {
      emit Problem(render->mmfPath, render->error);
      emit Ended();
      return;
    }
    StartSink(render);
  });
  thread->start();
}

void TunePlayer::StartSink(const std::shared_ptr<Render>& render) {
  buffer_ = new QBuffer(this);
  buffer_->setData(render->pcm);
  buffer_->open(QIODevice::ReadOnly);
  sink_ = new QAudioSink(render->device, render->format, this);
  playing_ = render->mmfPath;
  connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (sink_ == nullptr) {
      return;
    }
    if (state == QAudio::IdleState) {
      // The buffer has been played out.
      StopSink();
      emit Ended();
    } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
      const std::string path = playing_;
      StopSink();
      emit Problem(path, kPlayFailed);
      emit Ended();
    }
  });
  sink_->start(buffer_);
  if (sink_->error() != QAudio::NoError) {
    const std::string path = playing_;
    StopSink();
    emit Problem(path, kPlayFailed);
    emit Ended();
    return;
  }
  emit Started(playing_);
}

void TunePlayer::Stop() {
  const bool busy = IsBusy();
  CancelRender();
  StopSink();
  if (busy) {
    emit Ended();
  }
}

bool TunePlayer::IsBusy() const { return render_ != nullptr || sink_ != nullptr; }

void TunePlayer::CancelRender() {
  if (render_) {
    render_->cancel = true;
    render_.reset();
  }
}

void TunePlayer::StopSink() {
  if (sink_ != nullptr) {
    QAudioSink* sink = sink_;
    sink_ = nullptr;
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
  }
  if (buffer_ != nullptr) {
    buffer_->deleteLater();
    buffer_ = nullptr;
  }
  playing_.clear();
}
