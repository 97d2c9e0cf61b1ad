// Render speed: generated tunes of growing length played on the two FM chips and converted to
// 44100 Hz. "x_real_time" is seconds of tune per second of rendering; a value that stays flat
// from the shortest tune to the longest shows that the cost grows linearly with the tune.
//
// Nearly all of a render is the emulated chip, which no code of ours can make faster (a profile
// of RenderTune/30/8/49716 finds 94% of it in the emulator). BareChip is the emulator alone and
// RenderTune/30/8/49716 renders as many channels at the chip's own rate, so the gap between
// their "x_real_time" figures is the renderer's own cost (sequencer, FM engine, LFOs, muted
// parts) and what its notes change in the emulator's work; a slower renderer widens it. The
// rows at 44100 Hz add the rate converter. Compare two builds with
// bench/compare.py --filter 'RenderTune|BareChip'.
//
//   build-release/bench/quavrex_render_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/voice_tables.h"
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

// Eight channels over growing lengths, then all sixteen channels of MA2 sounding.
BENCHMARK(RenderTune)
    ->Args({8, 8, 44100})
    ->Args({30, 8, 44100})
    ->Args({120, 8, 44100})
    ->Args({30, 16, 44100})
    ->Args({30, 8, kChipRate})
    ->Unit(benchmark::kMillisecond);

// The ceiling the emulator itself sets: one chip, eight channels sounding, one second of its
// samples and nothing else (no events, no second chip, no rate conversion).
void BareChip(benchmark::State& state) {
  Opl3Chip chip;
  for (int channel = 0; channel < 8; ++channel) {
    const int op = channel / 3 * 8 + channel % 3;  // the channel's first operator
    chip.Write(0x20 + op, 0x01);                   // multiple 1
    chip.Write(0x23 + op, 0x01);
    chip.Write(0x60 + op, 0xF4);  // fast attack, slow decay
    chip.Write(0x63 + op, 0xF4);
    chip.Write(0x43 + op, 0x08);
    chip.Write(0xA0 + channel, 0x44);
    chip.Write(0xB0 + channel, 0x20 | 4 << 2 | 1);  // keyed, block 4
  }
  std::vector<int32_t> mix(kChipRate);
  for (auto _ : state) {
    chip.Generate(mix.data(), kChipRate);
    benchmark::DoNotOptimize(mix.data());
  }
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BareChip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
