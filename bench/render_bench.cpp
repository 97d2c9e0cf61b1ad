// Render speed: generated tunes of growing length played on the two FM chips and converted to
// 44100 Hz. "x_real_time" is seconds of tune per second of rendering; a value that stays flat
// from the shortest tune to the longest shows that the cost grows linearly with the tune.
//
//   build-release/bench/quavrex_render_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/voice_tables.h"
#include "synth/renderer.h"

namespace {

// Eight channels of eighth notes at tempo 120 (250 ms each, gate 200 ms) with built-in voices
// 0-7, a volume change every bar: a busy ring tone of `seconds` seconds.
RenderScore Tune(int seconds) {
  RenderScore score;
  for (int v = 0; v < 8; ++v) {
    const Ma2VoiceRecord& record = BuiltInMa2Voices()[v * 8];
    score.voices.push_back(DecodeFmVoice(record.data(), record.size()));
  }
  const int steps = seconds * 4;
  for (int step = 0; step < steps; ++step) {
    for (int channel = 0; channel < 8; ++channel) {
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
      on.note = step * 8 + channel + 1;
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

void RenderTune(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const RenderScore score = Tune(seconds);
  // The release tails after the tune's end (up to 10 s, a constant) are left out, so that the
  // growth with the tune's length shows.
  RenderOptions options;
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

BENCHMARK(RenderTune)->Arg(8)->Arg(30)->Arg(120)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
