// Render speed: generated tunes of growing length played on the two FM chips and converted to
// 44100 Hz. "x_real_time" is seconds of tune per second of rendering; a value that stays flat
// from the shortest tune to the longest shows that the cost grows linearly with the tune.
//
// Nearly all of a render is the emulated chip, which no code of ours can make faster. BareEmulator
// replays the very calls that RenderTune at the chip's own rate (no rate conversion) makes to
// the emulator, recorded once beforehand: the same register writes and the same runs of samples,
// and nothing else. The gap between the two rows with the same arguments is therefore the
// renderer's own cost (sequencer, FM engine, LFOs, muted parts, mixing and output); a slower
// renderer widens it. The rows at 44100 Hz add the rate converter. Compare two builds with
// bench/compare.py --filter 'RenderTune|BareEmulator'.
//
//   build-release/bench/quavrex_render_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "voices/voice_tables.h"
#include "synth/opl3_chip.h"
#include "synth/renderer.h"

namespace {

// `channels` channels of eighth notes at tempo 120 (250 ms each, gate 200 ms) with built-in
// 2-operator voices 0, 8, 16 ..., a volume change every bar: a busy ring tone of `seconds`
// seconds.
RenderScore Tune(int seconds, int channels) {
  RenderScore score;
  for (int v = 0; v < channels; ++v) {
    const Ma2VoiceRecord& record = BuiltInMa2Voices()[v * 8];
    score.voices.push_back(DecodeFmVoice(record.data(), record.size()));
  }
  const int steps = seconds * 4;
  for (int step = 0; step < steps; ++step) {
    for (int channel = 0; channel < channels; ++channel) {
      const double ms = step * 250.0;
      if (step % 4 == 0) {
        RenderEvent volume;
        volume.ms = ms;
        volume.kind = RenderEventKind::kVolume;
        volume.channel = channel;
        volume.value = 80 + step % 40;
        score.events.push_back(volume);
      }
      RenderEvent on;
      on.ms = ms;
      on.kind = RenderEventKind::kKeyOn;
      on.channel = channel;
      on.voice = channel;
      on.note = step * channels + channel + 1;
      on.pitch = NoteFNumber(48 + (step * 5 + channel * 7) % 36);
      score.events.push_back(on);
      RenderEvent off = on;
      off.ms = ms + 200;
      off.kind = RenderEventKind::kKeyOff;
      score.events.push_back(off);
    }
  }
  score.endMs = seconds * 1000.0;
  return score;
}

// Arguments: the tune's seconds and channels, and the output rate.
void RenderTune(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const RenderScore score = Tune(seconds, static_cast<int>(state.range(1)));
  // The release tails after the tune's end (up to 10 s, a constant) are left out, so that the
  // growth with the tune's length shows.
  RenderOptions options;
  options.rate = static_cast<int>(state.range(2));
  options.maxTailSeconds = 0;
  std::vector<int16_t> out;
  std::string error;
  for (auto _ : state) {
    if (!RenderPcm(score, options, out, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(seconds) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

// Eight channels over growing lengths, then all sixteen channels of MA2 sounding; the last two
// at the chip's rate, beside BareEmulator.
BENCHMARK(RenderTune)
    ->Args({8, 8, 44100})
    ->Args({30, 8, 44100})
    ->Args({120, 8, 44100})
    ->Args({30, 16, 44100})
    ->Args({30, 8, kChipRate})
    ->Args({30, 16, kChipRate})
    ->Unit(benchmark::kMillisecond);

// Runs `calls` on fresh chips as the renderer's chips ran them, each run of samples into a block
// cleared beforehand as the renderer clears its own; with `out`, the samples of every run are
// also appended there.
void Replay(const std::vector<Opl3Call>& calls, std::vector<int16_t>* out) {
  std::array<Opl3Chip, 2> chips;
  int32_t block[kControlBlock];
  for (const Opl3Call& call : calls) {
    Opl3Chip& chip = chips[call.chip];
    switch (call.kind) {
      case Opl3Call::Kind::kReset:
        chip.Reset(call.arg);
        break;
      case Opl3Call::Kind::kWrite:
        chip.Write(call.arg, call.value);
        break;
      case Opl3Call::Kind::kGenerate:
        std::fill(block, block + call.arg, 0);
        chip.Generate(block, call.arg);
        if (out != nullptr) {
          for (int i = 0; i < call.arg; ++i) {
            out->push_back(static_cast<int16_t>(std::clamp(block[i], -32768, 32767)));
          }
        }
        break;
    }
  }
}

// The emulator alone, doing the work of RenderTune with the same tune at the chip's rate.
// Arguments: the tune's seconds and channels.
void BareEmulator(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const RenderScore score = Tune(seconds, static_cast<int>(state.range(1)));
  RenderOptions options;
  options.rate = kChipRate;
  options.maxTailSeconds = 0;
  std::vector<int16_t> rendered;
  std::string error;
  std::vector<Opl3Call> calls;
  {
    const Opl3Recording recording(calls);
    if (!RenderPcm(score, options, rendered, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  // The replay must sound as the render did. Where a chip fell silent the renderer skipped it
  // and wrote zeros, so the two agree with the zeros left out; that holds while one chip plays
  // the tune (the second one never runs for these tunes).
  std::vector<int16_t> replayed;
  Replay(calls, &replayed);
  std::erase(rendered, 0);
  std::erase(replayed, 0);
  if (rendered != replayed || std::any_of(calls.begin(), calls.end(), [](const Opl3Call& call) {
        return call.kind == Opl3Call::Kind::kGenerate && call.chip != 0;
      })) {
    state.SkipWithError("the replay differs from the render");
    return;
  }
  for (auto _ : state) {
    Replay(calls, nullptr);
  }
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(seconds) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

BENCHMARK(BareEmulator)->Args({30, 8})->Args({30, 16})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
