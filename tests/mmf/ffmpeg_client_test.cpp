// A real client reads what the writer makes: ffmpeg decodes the audio track of an MA2 file
// whose only part is the A part, playing a wave that ffmpeg's own 4-bit ADPCM encoder made.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "tests/temp_folder.h"

namespace {

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") ==
         0;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::string& bytes, size_t at) {
  return uint32_t{uint8_t(bytes[at])} | uint32_t{uint8_t(bytes[at + 1])} << 8 |
         uint32_t{uint8_t(bytes[at + 2])} << 16 | uint32_t{uint8_t(bytes[at + 3])} << 24;
}

// The body of the "data" chunk of a RIFF WAVE file: the raw ADPCM bytes.
std::string WaveData(const std::string& riff) {
  for (size_t at = 12; at + 8 <= riff.size();) {
    uint32_t size = Le32(riff, at + 4);
    if (riff.compare(at, 4, "data") == 0) {
      return riff.substr(at + 8, size);
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

// Runs a shell command and returns its standard output; `status` receives its exit status.
std::string Capture(const std::string& command, int& status) {
  std::string out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    out += buffer;
  }
  status = ::pclose(pipe);
  return out;
}

TEST(FfmpegClientTest, DecodesTheAudioTrackOfAnAPartOnlyFile) {
  if (!HaveFfmpeg()) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  struct Case {
    const char* waveType;  // the file list's S setting
    const char* rate;      // what it declares
  };
  const Case cases[] = {{"S8", "8000"}, {"S4", "4000"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waveType);
    TempFolder folder;
    std::string dir = folder.path;
    int status = 0;
    Capture("ffmpeg -v error -y -f lavfi -i sine=frequency=660:sample_rate=" + std::string(c.rate) +
                ":duration=0.3 -ac 1 -c:a adpcm_yamaha -f wav " + dir + "/tone.wav",
            status);
    ASSERT_EQ(status, 0);
    std::string wave = WaveData(ReadAll(dir + "/tone.wav"));
    ASSERT_GT(wave.size(), 100u);
    std::ofstream(dir + "/tone.adp", std::ios::binary) << wave;
    std::ofstream(dir + "/ring.mml", std::ios::binary)
        << "F[ " << c.waveType << " A<tone.adp> ]\nA[ T120 V12 L2 A R4 ]\n";

    FileCompileServices services;
    CompileOptions options;
    options.ma2 = true;
    std::string log;
    ASSERT_EQ(CompileFile(dir + "/ring.mml", options, log, services), CompileOutcome::kWritten)
        << log;

    std::string rate = Capture(
        "ffprobe -v error -show_entries stream=sample_rate -of csv=p=0 " + dir + "/ring.MMF",
        status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(rate, std::string(c.rate) + "\n");
    Capture("ffmpeg -v error -y -i " + dir + "/ring.MMF -f s16le " + dir + "/decoded.raw", status);
    ASSERT_EQ(status, 0);
    // Two 4-bit samples a byte, each decoded to two bytes.
    EXPECT_EQ(std::filesystem::file_size(dir + "/decoded.raw"), 4 * wave.size());
  }
}

}  // namespace
