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
      : score_(score),
        fm_(std::make_unique<FmEngine>(FirstChipPairsOf(score))),
        wavesMuted_(muted.audio) {
    fm_->SetMuted(muted.channels);
    for (const RenderWave& wave : score.waves) {
      waves_.SetWave(wave.id, wave.samples, wave.rate);
    }
  }

  // Applies every event due at or before `sample`; returns the sample of the next one.
  int64_t Apply(int64_t sample) {
    while (next_ < score_.events.size() && SampleAt(score_.events[next_].ms) <= sample) {
      Dispatch(score_.events[next_++]);
    }
    return next_ < score_.events.size() ? SampleAt(score_.events[next_].ms) : INT64_MAX;
  }

  bool Finished() const {
    return next_ == score_.events.size() && fm_->IsSilent() && waves_.IsSilent();
  }

  // Invariant: count <= kControlBlock (RenderPcm stops at every control block).
  void Render(int32_t* mix, int count) {
    std::fill(mix, mix + count, 0);
    fm_->Render(mix, count);
    if (wavesMuted_) {
      // Played as ever, so that they end where they would, and not heard.
      int32_t unheard[kControlBlock] = {};
      waves_.Render(unheard, count);
    } else {
      waves_.Render(mix, count);
    }
  }

  void ControlTick() { fm_->ControlTick(double{kControlBlock} / kChipRate); }

 private:
  void Dispatch(const RenderEvent& event) {
    switch (event.kind) {
      case RenderEventKind::kKeyOn:
        if (event.voice >= 0 && event.voice < static_cast<int>(score_.voices.size())) {
          fm_->KeyOn(event.channel, score_.voices[event.voice], event.pitch);
          SetNote(fmNotes_, event.channel, event.note);
        }
        break;
      case RenderEventKind::kPitch:
        fm_->ChangePitch(event.channel, event.pitch);
        break;
      case RenderEventKind::kKeyOff:
        if (IsPlaying(fmNotes_, event.channel, event.note)) {
          fm_->KeyOff(event.channel);
        }
        break;
      case RenderEventKind::kVolume:
        fm_->SetVolume(event.channel, event.value);
        break;
      case RenderEventKind::kExpression:
        fm_->SetExpression(event.channel, event.value);
        break;
      case RenderEventKind::kWaveOn:
        waves_.Start(event.channel, event.value);
        SetNote(waveNotes_, event.channel, event.note);
        break;
      case RenderEventKind::kWaveOff:
        if (IsPlaying(waveNotes_, event.channel, event.note)) {
          waves_.Stop(event.channel);
        }
        break;
      case RenderEventKind::kWaveVolume:
        waves_.SetVolume(event.channel, event.value);
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

  const RenderScore& score_;
  size_t next_ = 0;
  std::array<int, FmEngine::kChannels> fmNotes_{};
  std::array<int, WavePlayer::kChannels> waveNotes_{};
  // The engine holds two chips of some 20 KB each: on the heap, not the stack.
  std::unique_ptr<FmEngine> fm_;
  WavePlayer waves_;
  bool wavesMuted_;
};

// Collects chip-rate samples and hands them on, converted when the output rate differs.
class Output {
 public:
  Output(int rate, std::vector<int16_t>& out) : out_(out) {
    if (rate != kChipRate) {
      resampler_ = std::make_unique<Resampler>(kChipRate, rate);
    }
  }

  bool Add(const int32_t* samples, int count) {
    pending_.insert(pending_.end(), samples, samples + count);
    return pending_.size() < kChunk || Flush(false);
  }

  bool Flush(bool last) {
    bool ok = true;
    if (resampler_) {
      ok = resampler_->Process(pending_.data(), static_cast<int>(pending_.size()), last, out_);
    } else {
      for (int32_t sample : pending_) {
        out_.push_back(static_cast<int16_t>(std::clamp(sample, -32768, 32767)));
      }
    }
    pending_.clear();
    return ok;
  }

 private:
  std::vector<int16_t>& out_;
  std::unique_ptr<Resampler> resampler_;
  std::vector<int32_t> pending_;
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
