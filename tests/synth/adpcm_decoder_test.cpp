// The ADPCM decoder gives the samples ffmpeg's adpcm_yamaha decoder gives, for the example
// wave and for bytes that drive the step to both of its limits.

#include "synth/adpcm_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/temp_folder.h"

namespace {

void AppendLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out += static_cast<char>(value >> (8 * i) & 0xFF);
  }
}

// A WAVE file around raw 4-bit ADPCM data (format tag 0x20), 8000 Hz mono.
std::string WrapInWave(const std::string& adpcm) {
  std::string fmt;
  AppendLe(fmt, 0x20, 2);  // format tag
  AppendLe(fmt, 1, 2);     // channels
  AppendLe(fmt, 8000, 4);  // sample rate
  AppendLe(fmt, 4000, 4);  // bytes per second
  AppendLe(fmt, 1, 2);     // block align
  AppendLe(fmt, 4, 2);     // bits per sample
  AppendLe(fmt, 0, 2);     // extra size
  std::string wave = "RIFF";
  AppendLe(wave, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + adpcm.size()), 4);
  wave += "WAVEfmt ";
  AppendLe(wave, static_cast<uint32_t>(fmt.size()), 4);
  wave += fmt + "data";
  AppendLe(wave, static_cast<uint32_t>(adpcm.size()), 4);
  return wave + adpcm;
}

// ffmpeg's decoding of `adpcm` as 16-bit samples; empty when ffmpeg is missing or fails.
std::vector<int16_t> DecodeWithFfmpeg(const std::string& adpcm) {
  TempFolder folder;
  const std::string in = folder.Put("in.wav", WrapInWave(adpcm));
  const std::string out = folder.path + "/out.raw";
  const std::string command =
      "ffmpeg -v error -y -i '" + in + "' -f s16le -acodec pcm_s16le '" + out + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    return {};
  }
  std::ifstream file(out, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
  }
  return samples;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(AdpcmDecoderTest, EqualsFfmpegSampleForSample) {
  ASSERT_EQ(std::system("command -v ffmpeg >/dev/null 2>&1"), 0) << "ffmpeg is not installed";
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string extremes;
  extremes.append(64, '\x77');  // largest rises: the step and the predictor hit their ceilings
  extremes.append(64, '\xFF');  // largest falls
  extremes.append(64, '\x00');  // smallest steps: the step shrinks to its floor
  extremes.append(64, '\x8F');  // alternating signs
  const Case cases[] = {
      {"chime.adp", ReadFile(QUAVREX_SOURCE_DIR "/examples/chime.adp")},
      {"extremes", extremes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.bytes.empty());
    const std::vector<int16_t> expected = DecodeWithFfmpeg(c.bytes);
    ASSERT_EQ(expected.size(), c.bytes.size() * 2);
    const auto* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(DecodeAdpcm(data, c.bytes.size()), expected);
  }
}

}  // namespace
