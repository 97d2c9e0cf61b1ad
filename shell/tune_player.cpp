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
struct CTunePlayer::Render {
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

CTunePlayer::CTunePlayer(QObject* parent) : QObject(parent) {}

CTunePlayer::~CTunePlayer() {
  CancelRender();
  StopSink();
  // A cancelled render stops within one control block.
  for (QThread* thread : m_threads) {
    thread->wait();
    delete thread;
  }
}

void CTunePlayer::Play(const std::string& mmfPath) {
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
  m_render = render;
  QThread* thread = QThread::create([render] { render->Run(); });
  m_threads.push_back(thread);
  connect(thread, &QThread::finished, this, [this, render, thread] {
    std::erase(m_threads, thread);
    thread->deleteLater();
    if (m_render != render || render->cancel) {
      return;  // stopped, or replaced by a later tune
    }
    m_render.reset();
    if (!render->ok) {
      emit Problem(render->mmfPath, render->error);
      emit Ended();
      return;
    }
    StartSink(render);
  });
  thread->start();
}

void CTunePlayer::StartSink(const std::shared_ptr<Render>& render) {
  m_buffer = new QBuffer(this);
  m_buffer->setData(render->pcm);
  m_buffer->open(QIODevice::ReadOnly);
  m_sink = new QAudioSink(render->device, render->format, this);
  m_playing = render->mmfPath;
  connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (m_sink == nullptr) {
      return;
    }
    if (state == QAudio::IdleState) {
      // The buffer has been played out.
      StopSink();
      emit Ended();
    } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
      const std::string path = m_playing;
      StopSink();
      emit Problem(path, kPlayFailed);
      emit Ended();
    }
  });
  m_sink->start(m_buffer);
  if (m_sink->error() != QAudio::NoError) {
    const std::string path = m_playing;
    StopSink();
    emit Problem(path, kPlayFailed);
    emit Ended();
    return;
  }
  emit Started(m_playing);
}

void CTunePlayer::Stop() {
  const bool busy = IsBusy();
  CancelRender();
  StopSink();
  if (busy) {
    emit Ended();
  }
}

bool CTunePlayer::IsBusy() const { return m_render != nullptr || m_sink != nullptr; }

void CTunePlayer::CancelRender() {
  if (m_render) {
    m_render->cancel = true;
    m_render.reset();
  }
}

void CTunePlayer::StopSink() {
  if (m_sink != nullptr) {
    QAudioSink* sink = m_sink;
    m_sink = nullptr;
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
  }
  if (m_buffer != nullptr) {
    m_buffer->deleteLater();
    m_buffer = nullptr;
  }
  m_playing.clear();
}
