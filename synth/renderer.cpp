#include "synth/renderer.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "synth/fm_engine.h"
#include "synth/opl3_chip.h"
#include "synth/resampler.h"
#include "synth/wave_player.h"

namespace {

// Samples at or below this size after the tune's end count as silence (about -66 dB).
constexpr int kSilence = 16;
// Chip samples handed to the rate converter at a time.
constexpr size_t kChunk = 8192;

int64_t SampleAt(double ms) { return std::llround(ms * kChipRate / 1000.0); }

// The first chip's layout for the FM channels that the tune's notes sound on, so that a tune
// whose voices all fit one chip never runs the second.
int FirstChipPairsOf(const RenderScore& score) {
  std::bitset<FmEngine::kChannels> fourOp;
  std::bitset<FmEngine::kChannels> twoOp;
  for (const RenderEvent& event : score.events) {
    if (event.kind == RenderEventKind::kKeyOn && event.channel >= 0 &&
        event.channel < FmEngine::kChannels && event.voice >= 0 &&
        event.voice < static_cast<int>(score.voices.size())) {
      (score.voices[event.voice].fourOp ? fourOp : twoOp).set(event.channel);
    }
  }
  return FmEngine::FirstChipPairs(static_cast<int>(fourOp.count()),
                                  static_cast<int>(twoOp.count()));
}

class Sequencer {
 public:
  Sequencer(const RenderScore& score, const MutedParts& muted)
      : m_score(score),
        m_fm(std::make_unique<FmEngine>(FirstChipPairsOf(score))),
        m_wavesMuted(muted.audio) {
    m_fm->SetMuted(muted.channels);
    for (const RenderWave& wave : score.waves) {
      m_waves.SetWave(wave.id, wave.samples, wave.rate);
    }
  }

  // Applies every event due at or before `sample`; returns the sample of the next one.
  int64_t Apply(int64_t sample) {
    while (m_next < m_score.events.size() && SampleAt(m_score.events[m_next].ms) <= sample) {
      Dispatch(m_score.events[m_next++]);
    }
    return m_next < m_score.events.size() ? SampleAt(m_score.events[m_next].ms) : INT64_MAX;
  }

  bool Finished() const {
    return m_next == m_score.events.size() && m_fm->IsSilent() && m_waves.IsSilent();
  }

  // Invariant: count <= kControlBlock (RenderPcm stops at every control block).
  void Render(int32_t* mix, int count) {
    std::fill(mix, mix + count, 0);
    m_fm->Render(mix, count);
    if (m_wavesMuted) {
      // Played as ever, so that they end where they would, and not heard.
      int32_t unheard[kControlBlock] = {};
      m_waves.Render(unheard, count);
    } else {
      m_waves.Render(mix, count);
    }
  }

  void ControlTick() { m_fm->ControlTick(double{kControlBlock} / kChipRate); }

 private:
  void Dispatch(const RenderEvent& event) {
    switch (event.kind) {
      case RenderEventKind::kKeyOn:
        if (event.voice >= 0 && event.voice < static_cast<int>(m_score.voices.size())) {
          m_fm->KeyOn(event.channel, m_score.voices[event.voice], event.pitch);
          SetNote(m_fmNotes, event.channel, event.note);
        }
        break;
      case RenderEventKind::kPitch:
        m_fm->ChangePitch(event.channel, event.pitch);
        break;
      case RenderEventKind::kKeyOff:
        if (IsPlaying(m_fmNotes, event.channel, event.note)) {
          m_fm->KeyOff(event.channel);
        }
        break;
      case RenderEventKind::kVolume:
        m_fm->SetVolume(event.channel, event.value);
        break;
      case RenderEventKind::kExpression:
        m_fm->SetExpression(event.channel, event.value);
        break;
      case RenderEventKind::kWaveOn:
        m_waves.Start(event.channel, event.value);
        SetNote(m_waveNotes, event.channel, event.note);
        break;
      case RenderEventKind::kWaveOff:
        if (IsPlaying(m_waveNotes, event.channel, event.note)) {
          m_waves.Stop(event.channel);
        }
        break;
      case RenderEventKind::kWaveVolume:
        m_waves.SetVolume(event.channel, event.value);
        break;
    }
  }

  template <size_t N>
  static void SetNote(std::array<int, N>& notes, int channel, int note) {
    if (channel >= 0 && channel < static_cast<int>(N)) {
      notes[channel] = note;
    }
  }
  template <size_t N>
  static bool IsPlaying(const std::array<int, N>& notes, int channel, int note) {
    return channel >= 0 && channel < static_cast<int>(N) && notes[channel] == note;
  }

  const RenderScore& m_score;
  size_t m_next = 0;
  std::array<int, FmEngine::kChannels> m_fmNotes{};
  std::array<int, WavePlayer::kChannels> m_waveNotes{};
  // The engine holds two chips of some 20 KB each: on the heap, not the stack.
  std::unique_ptr<FmEngine> m_fm;
  WavePlayer m_waves;
  bool m_wavesMuted;
};

// Collects chip-rate samples and hands them on, converted when the output rate differs.
class Output {
 public:
  Output(int rate, std::vector<int16_t>& out) : m_out(out) {
    if (rate != kChipRate) {
      m_resampler = std::make_unique<Resampler>(kChipRate, rate);
    }
  }

  bool Add(const int32_t* samples, int count) {
    m_pending.insert(m_pending.end(), samples, samples + count);
    return m_pending.size() < kChunk || Flush(false);
  }

  bool Flush(bool last) {
    bool ok = true;
    if (m_resampler) {
      ok = m_resampler->Process(m_pending.data(), static_cast<int>(m_pending.size()), last, m_out);
    } else {
      for (int32_t sample : m_pending) {
        m_out.push_back(static_cast<int16_t>(std::clamp(sample, -32768, 32767)));
      }
    }
    m_pending.clear();
    return ok;
  }

 private:
  std::vector<int16_t>& m_out;
  std::unique_ptr<Resampler> m_resampler;
  std::vector<int32_t> m_pending;
};

}  // namespace

bool RenderPcm(const RenderScore& score, const RenderOptions& options, std::vector<int16_t>& out,
               std::string& error) {
  out.clear();
  if (score.endMs > options.maxSeconds * 1000) {
    error = "演奏時間が長すぎます。";
    return false;
  }
  std::vector<RenderEvent> events = score.events;
  std::stable_sort(events.begin(), events.end(),
                   [](const RenderEvent& a, const RenderEvent& b) { return a.ms < b.ms; });
  RenderScore sorted = score;
  sorted.events = std::move(events);

  Sequencer sequencer(sorted, options.muted);
  Output output(options.rate, out);
  const int64_t end = SampleAt(score.endMs);
  const int64_t limit = end + SampleAt(options.maxTailSeconds * 1000);
  int32_t mix[kControlBlock];
  for (int64_t position = 0; position < limit;) {
    if (options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed)) {
      error.clear();
      return false;
    }
    const int64_t next = sequencer.Apply(position);
    if (position >= end && sequencer.Finished()) {
      break;
    }
    const int64_t blockEnd = position - position % kControlBlock + kControlBlock;
    const int count = static_cast<int>(std::min({blockEnd, next, limit}) - position);
    sequencer.Render(mix, count);
    if (!output.Add(mix, count)) {
      error = "サンプリング周波数の変換に失敗しました。";
      return false;
    }
    position += count;
    if (position == blockEnd) {
      sequencer.ControlTick();
    }
  }
  if (!output.Flush(true)) {
    error = "サンプリング周波数の変換に失敗しました。";
    return false;
  }
  // Silence after the tune's end goes; the tune itself keeps its closing rests.
  const size_t tuneEnd = static_cast<size_t>(std::min<int64_t>(
      std::llround(score.endMs * options.rate / 1000.0), static_cast<int64_t>(out.size())));
  size_t keep = out.size();
  while (options.trimSilence && keep > tuneEnd && std::abs(out[keep - 1]) <= kSilence) {
    --keep;
  }
  out.resize(keep);
  return true;
}
