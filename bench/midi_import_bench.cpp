// MIDI import: a five-minute, sixteen-channel tune of growing note counts converted into a
// score (and, for the full count, converted and compiled through the command line as a user
// runs it), and hostile 16 MiB files that must finish or fail quickly.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "midi_import/midi_import.h"

namespace {

void PutBe32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += static_cast<char>(value >> shift);
  }
}

void PutNumber(std::string& out, uint32_t value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  while ((value >>= 7) != 0) {
    bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  }
  out += bytes;
}

void PutTrack(std::string& out, const std::string& body) {
  out += "MTrk";
  PutBe32(out, static_cast<uint32_t>(body.size() + 4));
  out += body;
  out += std::string("\x00\xFF\x2F\x00", 4);
}

// Five minutes at 120 beats a minute (480 ticks a beat): `notes` notes shared by sixteen
// channels, one line each, the drums on channel 10, with a program, a volume and velocities
// that vary.
std::string FiveMinuteTune(int notes) {
  const int perChannel = notes / 16;
  const uint32_t span = 5 * 60 * 2 * 480;  // ticks
  std::string file("MThd\0\0\0\x06\0\x01\0\x11\x01\xE0", 14);
  PutTrack(file, std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7));
  for (int channel = 0; channel < 16; ++channel) {
    std::string body;
    const uint32_t step = span / perChannel;
    body += '\0';
    body += static_cast<char>(0xC0 | channel);
    body += static_cast<char>(channel * 7);
    body += '\0';
    body += static_cast<char>(0xB0 | channel);
    body += '\x07';
    body += '\x64';
    for (int k = 0; k < perChannel; ++k) {
      const int key = channel == 9 ? 35 + k % 12 : 48 + (k * 5 + channel) % 24;
      PutNumber(body, k == 0 ? 0 : step / 4);
      body += static_cast<char>(0x90 | channel);
      body += static_cast<char>(key);
      body += static_cast<char>(60 + k % 60);
      PutNumber(body, step - step / 4);
      body += static_cast<char>(0x80 | channel);
      body += static_cast<char>(key);
      body += '\0';
    }
    PutTrack(file, body);
  }
  return file;
}

void BM_ConvertMidi(benchmark::State& state) {
  const std::string file = FiveMinuteTune(static_cast<int>(state.range(0)));
  ImportOptions options;
  options.ma2 = true;
  for (auto _ : state) {
    ImportResult result =
        ImportMidi(reinterpret_cast<const uint8_t*>(file.data()), file.size(), options);
    if (!result.ok) {
      state.SkipWithError(result.fault.c_str());
    }
    benchmark::DoNotOptimize(result.score.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConvertMidi)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);

// The whole command: read the .mid, write the .mml, compile it, write the .MMF.
void BM_ConvertAndCompile(benchmark::State& state) {
  const std::string folder =
      std::filesystem::temp_directory_path() / ("quavrex-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/tune.mid";
  std::ofstream(path, std::ios::binary) << FiveMinuteTune(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::ostringstream out, err;
    if (RunCommandLine({"--ma2", "--force", path}, out, err) != 0) {
      state.SkipWithError(out.str().c_str());
    }
  }
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConvertAndCompile)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Hostile files of 16 MiB: one track of notes (refused at the note cap), of running-status
// pitch bends (refused at the event cap), of system exclusives (skipped: no notes), and the
// largest work that converts: 49,000 notes among 900,000 bends, the rest system exclusives.
std::string Hostile(int kind) {
  constexpr size_t kSize = 16u << 20;
  std::string body;
  body.reserve(kSize);
  int notes = 0;
  int bends = 0;
  while (body.size() + 200 < kSize) {
    if (kind == 0) {
      body += std::string("\x00\x90\x3C\x40\x01\x80\x3C\x00", 8);
    } else if (kind == 1) {
      body += body.empty() ? std::string("\x00\xE0\x00\x40", 4) : std::string("\x00\x01\x40", 3);
    } else if (kind == 2 || (notes >= 49000 && bends >= 900000)) {
      body += std::string("\x00\xF0\x7F", 3) + std::string(127, '\x11');
    } else if (bends < 900000 && bends < 19 * notes) {
      body += std::string("\x00\xE0\x00\x41", 4);
      ++bends;
    } else {
      body += std::string("\x01\x90\x3C\x40\x01\x80\x3C\x00", 8);
      ++notes;
    }
  }
  std::string file("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14);
  PutTrack(file, body);
  return file;
}

void BM_HostileMidi(benchmark::State& state) {
  const std::string file = Hostile(static_cast<int>(state.range(0)));
  ImportOptions options;
  options.ma2 = true;
  for (auto _ : state) {
    ImportResult result =
        ImportMidi(reinterpret_cast<const uint8_t*>(file.data()), file.size(), options);
    if (result.ok != (state.range(0) == 3)) {
      state.SkipWithError("the largest work should convert, the others fail");
    }
    benchmark::DoNotOptimize(result.score.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_HostileMidi)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
