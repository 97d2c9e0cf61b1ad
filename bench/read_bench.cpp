// Reading and verifying .MMF files: generated MA2 files of growing size through the reader,
// reported per input byte so that the growth can be read off directly.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "core/crc16.h"
#include "reader/mmf_reader.h"

namespace {

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

void PutTag(std::vector<uint8_t>& out, std::string_view tag) {
  for (char c : tag) {
    out.push_back(static_cast<uint8_t>(c));
  }
}

void PutBytes(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) {
    out.push_back(b);
  }
}

void PatchBe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  }
}

// One bar of a score track's sequence: a window, notes with one- and two-byte deltas and
// gates, controls in both forms, a voice select and a frequency note.
void AppendBar(std::vector<uint8_t>& seq, int channel) {
  const uint8_t cc = static_cast<uint8_t>(channel << 6);
  const uint8_t bar[] = {
      0x00,
      0x00,
      uint8_t(cc | 0x31),
      0x00,
      0x00,
      0x00,
      uint8_t(cc | 0x30),
      0x05,  // voice 5
      0x00,
      0x00,
      uint8_t(cc | 0x37),
      0x64,  // volume
      0x00,
      0x00,
      uint8_t(cc | 0x32),
      0x01,
      0x00,  // window +1
      uint8_t(cc | 0x11),
      0x7B,
      0x7D,
      uint8_t(cc | 0x25),
      0x80,
      0x10,  // notes
      0x81,
      0x00,
      uint8_t(cc | 0x3A),
      0x40,  // pan
      0x10,
      0x00,
      uint8_t(cc | 0x25),
      0x10,
      0x00,
      uint8_t(cc | 0x05),  // short forms
      0x00,
      0xFF,
      0xF0,
      0x06,
      0x43,
      0x03,
      0x90,
      uint8_t(0xB0 | channel),
      0x5D,
      0xF7,  // frequency
      0x00,
      0xFF,
      0xF0,
      0x06,
      0x43,
      0x03,
      0x90,
      uint8_t(0xC0 | channel),
      0x31,
      0xF7,
      0x7D,
      uint8_t(cc | 0x3C),
      0x7B,  // note
  };
  seq.insert(seq.end(), std::begin(bar), std::end(bar));
}

// A sound MA2 file of about `size` bytes: header, contents, one score track, CRC, trailer.
std::vector<uint8_t> MakeFile(size_t size) {
  std::vector<uint8_t> f;
  f.reserve(size + 256);
  PutTag(f, "MMMD");
  PutBe32(f, 0);
  PutTag(f, "CNTI");
  PutBe32(f, 14);
  PutBytes(f, {0, 0, 0, 1, 0});
  PutTag(f, "ST:Bench,");
  PutTag(f, "MTR\x01");
  size_t trackSize = f.size();
  PutBe32(f, 0);
  PutBytes(f, {0, 0, 2, 2, 0, 0});
  PutTag(f, "Mtsq");
  size_t seqSize = f.size();
  PutBe32(f, 0);
  size_t seqStart = f.size();
  for (int bar = 0; f.size() < size; ++bar) {
    AppendBar(f, bar & 3);
  }
  PutBytes(f, {0, 0, 0, 0});
  PatchBe32(f, seqSize, uint32_t(f.size() - seqStart));
  PatchBe32(f, trackSize, uint32_t(f.size() - trackSize - 4));
  PatchBe32(f, 4, uint32_t(f.size() + 2 - 8));
  uint16_t crc = Crc16(f.data(), f.size(), 0xFFFF);
  f.push_back(uint8_t(crc >> 8));
  f.push_back(uint8_t(crc));
  PutBytes(f, {0x1D, 0x0F});
  return f;
}

void BM_ReadAndVerify(benchmark::State& state) {
  const std::vector<uint8_t> file = MakeFile(size_t(state.range(0)));
  MmfFile first = ReadMmf(file.data(), file.size());
  if (!IsSound(first)) {
    state.SkipWithError(("the generated file is not sound: " + first.findings[0].text).c_str());
    return;
  }
  for (auto _ : state) {
    MmfFile read = ReadMmf(file.data(), file.size());
    benchmark::DoNotOptimize(read);
    benchmark::DoNotOptimize(IsSound(read));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
// Verifying alone (--verify): the same checks without keeping the events.
void BM_Verify(benchmark::State& state) {
  const std::vector<uint8_t> file = MakeFile(size_t(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(IsSound(CheckMmf(file.data(), file.size())));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_Verify)->RangeMultiplier(4)->Range(16 << 10, 16 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadAndVerify)
    ->RangeMultiplier(4)
    ->Range(16 << 10, 16 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
