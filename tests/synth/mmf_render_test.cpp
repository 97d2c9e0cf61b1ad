// Scores compiled to .MMF, read back and rendered: pitch through the note table, the octave
// windows and frequency-mode glides; note onsets at every timebase; the examples.

#include "synth/mmf_render.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "reader/mmf_reader.h"
#include "tests/synth/audio_analysis.h"
#include "tests/temp_folder.h"

namespace {

constexpr int kRate = 44100;

// A carrier-only sine as a voice definition: operator 1 at total level 63, operator 2 with
// multiple 1, waveform 0, attack and release 15, the envelope held while keyed.
constexpr const char* kSineVoice =
    "D[ W@0,0,0,0, 0,1,1,0,0,0,0,0,0,0,15,0,0,15,63, 0,1,1,0,0,0,0,0,0,0,15,0,0,15,0 ]\n";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Compiles `score` (MA2 unless `ma1`) in `folder` and returns the .MMF's bytes.
std::string CompileMmf(const TempFolder& folder, const std::string& score, bool ma1 = false) {
  const std::string path = folder.Put("tune.mml", score);
  CompileOptions options;
  options.ma2 = !ma1;
  FileCompileServices services;
  std::string log;
  EXPECT_EQ(CompileFile(path, options, log, services), CompileOutcome::kWritten) << log;
  return ReadFile(folder.path + "/tune.MMF");
}

std::vector<int16_t> Render(const std::string& mmf) {
  RenderOptions options;
  options.rate = kRate;
  std::vector<int16_t> out;
  std::string error;
  EXPECT_TRUE(
      RenderMmf(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size(), options, out, error))
      << error;
  return out;
}

size_t At(double ms) { return static_cast<size_t>(ms * kRate / 1000); }

TEST(MmfRenderTest, PitchHoldsThroughWindowsAndGlides) {
  struct Case {
    const char* part;  // tempo 120: a whole note lasts 2 s
    double fromMs, toMs;
    double hz;
  };
  const Case cases[] = {
      // A4 = note 69 in the first window
      {"1[@0 V15 O4 A1]", 300, 1500, 440},
      // A6 (note 93) needs window +1; the A4 after it returns to window 0
      {"1[@0 V15 O6 A2 O4 A2]", 200, 800, 1760},
      {"1[@0 V15 O6 A2 O4 A2]", 1200, 1800, 440},
      // a frequency-mode glide A4 to A5 whose last 40% hold the target
      {"1[@0 V15 O4 (A>A)1,5,,40]", 1350, 1850, 880},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.part << " at " << c.fromMs);
    TempFolder folder;
    const std::vector<int16_t> out = Render(CompileMmf(folder, std::string(kSineVoice) + c.part));
    const double hz = MeasureHz(out, kRate, At(c.fromMs), At(c.toMs));
    EXPECT_LT(std::abs(Cents(hz, c.hz)), 2.0) << hz;
  }
}

TEST(MmfRenderTest, NotesStartWithinAMillisecondAtEveryTimebase) {
  struct Case {
    int code;   // "@R" and "@L"
    int ticks;  // note length in ticks, some 60 ms
  };
  const Case cases[] = {{0, 60}, {1, 30}, {2, 15}, {3, 12}, {16, 6}, {17, 3}, {18, 2}, {19, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TempFolder folder;
    const std::string timebase =
        "D[@R" + std::to_string(c.code) + "@L" + std::to_string(c.code) + "]\n";
    // Four notes, each followed by a rest as long, in ticks of the timebase.
    std::string part = "1[@0 V15 Q3";
    for (const char* note : {"C", "E", "G", ">C"}) {
      const std::string length = "*" + std::to_string(c.ticks);
      part += std::string(" ") + note + length + " R" + length;
    }
    const std::string mmf = CompileMmf(folder, std::string(kSineVoice) + timebase + part + "]");
    const MmfFile model = ReadMmf(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size());
    const std::vector<int16_t> out = Render(mmf);
    int notes = 0;
    for (const ScoreTrack& track : model.tracks) {
      for (const MmfEvent& event : track.events) {
        if (event.kind != MmfEventKind::kNote) {
          continue;
        }
        ++notes;
        const double ms = static_cast<double>(event.ms());
        const size_t onset = FirstLoud(out, At(std::max(0.0, ms - 20)), 300);
        EXPECT_NEAR(static_cast<double>(onset) * 1000 / kRate, ms, 1.0) << "note at " << ms;
      }
    }
    EXPECT_EQ(notes, 4);
  }
}

TEST(MmfRenderTest, ExamplesSoundForTheLengthOfTheTune) {
  struct Case {
    const char* name;
    bool ma1;
  };
  const Case cases[] = {{"minuet.mml", true}, {"overture.mml", false}, {"doorbell.mml", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    folder.Put("chime.adp", ReadFile(QUAVREX_SOURCE_DIR "/examples/chime.adp"));
    const std::string mmf =
        CompileMmf(folder, ReadFile(std::string(QUAVREX_SOURCE_DIR "/examples/") + c.name), c.ma1);
    const MmfFile model = ReadMmf(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size());
    int64_t endMs = 0;
    for (const ScoreTrack& track : model.tracks) {
      endMs = std::max(endMs, track.events.empty() ? 0 : track.events.back().ms());
    }
    const std::vector<int16_t> out = Render(mmf);
    const double seconds = static_cast<double>(out.size()) / kRate;
    EXPECT_GE(seconds, static_cast<double>(endMs) / 1000 - 0.001);
    EXPECT_LE(seconds, static_cast<double>(endMs) / 1000 + 3);  // release tails
    EXPECT_GT(LevelDb(out, 0, out.size()), -40);
  }
}

TEST(MmfRenderTest, DoorbellRingsTheChimeWhereTheScorePlaysIt) {
  TempFolder folder;
  folder.Put("chime.adp", ReadFile(QUAVREX_SOURCE_DIR "/examples/chime.adp"));
  const std::vector<int16_t> out =
      Render(CompileMmf(folder, ReadFile(QUAVREX_SOURCE_DIR "/examples/doorbell.mml")));
  // "T96 L4 A R A8 A8 R4 A2": the 880 Hz chime (0.4 s) rings at 0 s, 1.25 s, 1.5625 s and
  // 2.5 s, and is silent in the rest from 0.625 s; the FM part plays E and C of octave 6.
  // The size of the 880 Hz component over 150 ms from `ms`.
  auto magnitude = [&](double ms) {
    double re = 0;
    double im = 0;
    for (size_t i = At(ms); i < At(ms + 150); ++i) {
      re += out[i] * std::cos(2 * M_PI * 880 * static_cast<double>(i) / kRate);
      im += out[i] * std::sin(2 * M_PI * 880 * static_cast<double>(i) / kRate);
    }
    return std::hypot(re, im);
  };
  const double quiet = magnitude(800);
  for (double ms : {20.0, 1270.0, 2520.0}) {
    SCOPED_TRACE(ms);
    EXPECT_GT(magnitude(ms), 10 * quiet);
  }
}

}  // namespace
