// Compile time per input byte of generated MA2 scores. Each size is a multiple of one small
// score of sixteen parts, so a time per byte that stays flat from 1x to 100x shows that the
// compile grows linearly with the score.
//
//   build-release/bench/quavrex_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "frontend/split_score.h"
#include "mmf/mmf_image.h"
#include "sequence/compiled_tracks.h"

namespace {

// One bar of a part: notes with accidentals and dots, a tuplet, a slur chain, a glide, a
// detuned note (frequency mode), octave marks, rests and control changes.
std::string Bar() { return "L8CD#EF.{GAB}4C&D&E(CE)4@K8C4@K0R8V12>C<C@V100X8P3(G_C)8"; }

// A score of sixteen parts, each `bars` bars long, with its own voice and key.
std::string Score(int bars) {
  std::string score;
  for (int part = 1; part <= 16; ++part) {
    score += std::to_string(part) + "[T120@" + std::to_string(part - 1) + "K" +
             std::to_string(part % 5 - 2) + "O4";
    for (int i = 0; i < bars; ++i) {
      score += Bar();
    }
    score += "]\n";
  }
  return score;
}

// Splits and compiles one score, as the compile job does.
void CompileScore(benchmark::State& state, const std::string& score, int format = kFormatMa2) {
  for (auto _ : state) {
    StageResult<SplitScore> split = SplitParts(score, format);
    if (!split.ok() || !CompileParts(split.value()).ok()) {
      state.SkipWithError("the generated score does not compile");
      return;
    }
    benchmark::DoNotOptimize(split.value());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(score.size()));
  state.counters["score_bytes"] = static_cast<double>(score.size());
}

// 1x, 10x and 100x the base score of 8 bars per part.
void BM_CompileScore(benchmark::State& state) {
  CompileScore(state, Score(8 * static_cast<int>(state.range(0))));
}
BENCHMARK(BM_CompileScore)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole pipeline of the compile job short of the file system: split, compile, assemble the
// image, fill its sizes, compute its CRC and free everything.
void BM_WholePipeline(benchmark::State& state) {
  const std::string score = Score(8 * static_cast<int>(state.range(0)));
  for (auto _ : state) {
    StageResult<SplitScore> split = SplitParts(score, kFormatMa2);
    if (!split.ok()) {
      state.SkipWithError("the generated score does not compile");
      return;
    }
    StageResult<CompiledTracks> tracks = CompileParts(split.value());
    if (!tracks.ok()) {
      state.SkipWithError("the generated score does not compile");
      return;
    }
    StageResult<SetupChunk> setup =
        BuildSetupChunk(tracks.value().usedVoices, split.value().voices, kFormatMa2, false);
    if (!setup.ok()) {
      state.SkipWithError("the generated score does not compile");
      return;
    }
    StageResult<Bytes> image = BuildMmf(split.value(), tracks.value(), setup.value(), "bench.mml");
    if (!image.ok()) {
      state.SkipWithError("the generated score does not compile");
      return;
    }
    benchmark::DoNotOptimize(image.value());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(score.size()));
  state.counters["score_bytes"] = static_cast<double>(score.size());
}
BENCHMARK(BM_WholePipeline)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One part of nothing but glides: each group is rewritten in place into a chain of 16 notes.
void BM_PortamentoGroups(benchmark::State& state) {
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) {
    text += "(CE)4D";
  }
  CompileScore(state, "1[O4" + text + "]");
}
BENCHMARK(BM_PortamentoGroups)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One slur chain across the whole part, in normal mode.
void BM_SlurChain(benchmark::State& state) {
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) {
    text += "C8&D8&";
  }
  CompileScore(state, "1[" + text + "E]");
}
BENCHMARK(BM_SlurChain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One long MA1 part of plain notes. A part that never selects a voice or volume gets them at
// time 0 once its track is complete, after all its notes.
void BM_Ma1PlainNotes(benchmark::State& state) {
  std::string text;
  for (int64_t i = 0; i < state.range(0); ++i) {
    text += "CDEFGABC";
  }
  CompileScore(state, "1[O4" + text + "]", kFormatMa1);
}
BENCHMARK(BM_Ma1PlainNotes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Not the compiler: a fixed loop of independent additions and exclusive ors, which keeps the
// processor's units as busy as the compile does. On a virtual machine whose processors are
// shared with other guests it slows as the compile does while they are busy (on this
// project's machine from about 1.0 ms to 1.7 ms, while the 100x compile goes from 10-13 ms to
// 17-20 ms): read the figures above beside this one, run with repetitions and
// --benchmark_enable_random_interleaving=true so that its runs fall among theirs.
void BM_ProcessorShareProbe(benchmark::State& state) {
  for (auto _ : state) {
    uint64_t a = 1, b = 2, c = 3, d = 4, e = 5, f = 6, g = 7, h = 8;
    for (uint64_t i = 0; i < 1000000; ++i) {
      a += i;
      b ^= i;
      c += b;
      d ^= a;
      e += i >> 1;
      f ^= e;
      g += c;
      h ^= g;
      // Keeps the eight in registers, each step done: no vectorising, no folding.
      asm volatile("" : "+r"(a), "+r"(b), "+r"(c), "+r"(d), "+r"(e), "+r"(f), "+r"(g), "+r"(h));
    }
    benchmark::DoNotOptimize(a + b + c + d + e + f + g + h);
  }
}
BENCHMARK(BM_ProcessorShareProbe)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
