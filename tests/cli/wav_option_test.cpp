// "--wav" and "--rate": parsing, and the WAVE files and log lines a run makes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/temp_folder.h"

namespace {

TEST(WavOptionTest, Parsing) {
  struct Case {
    std::vector<std::string> args;
    bool wav;
    int rate;
    const char* error;
  };
  const char* kRateError = "--rate needs a sample rate of 8000-192000 Hz";
  const Case cases[] = {
      {{"a.mml"}, false, 44100, ""},
      {{"--wav", "a.mml"}, true, 44100, ""},
      {{"a.mml", "--wav", "--rate", "22050"}, true, 22050, ""},
      {{"--rate", "8000", "a.mml"}, false, 8000, ""},
      {{"--rate", "192000", "a.mml"}, false, 192000, ""},
      // the number is the next argument, digits only, within range
      {{"a.mml", "--rate"}, false, 44100, kRateError},
      {{"--rate", "7999", "a.mml"}, false, 44100, kRateError},
      {{"--rate", "192001", "a.mml"}, false, 44100, kRateError},
      {{"--rate", "44.1k", "a.mml"}, false, 44100, kRateError},
      {{"--rate", "-44100", "a.mml"}, false, 44100, kRateError},
      {{"--rate", "99999999999", "a.mml"}, false, 44100, kRateError},
      // stems come with the whole tune's .wav
      {{"--stems", "--wav", "a.mml"}, true, 44100, ""},
      {{"--stems", "a.mml"}, false, 44100, "--stems needs --wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.error, c.error);
    if (*c.error == '\0') {
      EXPECT_EQ(line.wav, c.wav);
      EXPECT_EQ(line.rate, c.rate);
    }
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

uint32_t Le32(const std::string& bytes, size_t at) {
  return uint32_t{uint8_t(bytes[at])} | uint32_t{uint8_t(bytes[at + 1])} << 8 |
         uint32_t{uint8_t(bytes[at + 2])} << 16 | uint32_t{uint8_t(bytes[at + 3])} << 24;
}

TEST(WavOptionTest, WritesTheWaveFileBesideTheTune) {
  TempFolder folder;
  const std::string score = folder.Put("tune.mml", "1[T150 @0 V13 O5 L8 CDEFG]");
  const std::string notMmf = folder.Put("other.mmf", "not an MMF at all");
  std::ostringstream out;
  std::ostringstream err;
  // A score is compiled and rendered; an .MMF is rendered at the rate asked for; a broken
  // .MMF gets its line and the exit status 1.
  EXPECT_EQ(RunCommandLine({"--ma2", "--wav", "--rate", "22050", score, notMmf}, out, err), 1);
  EXPECT_EQ(out.str(),
            "tune.mml は正しく処理されました。\n"
            "tune.wav は正しく書き出されました。\n"
            "other.wav 再生できるMMFファイルではありません。\n");
  const std::string wav = ReadFile(folder.path + "/tune.wav");
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(wav, 24), 22050u);  // sample rate
  EXPECT_EQ(wav[22], 1);             // mono
  // Five eighths at tempo 150: one second, plus the release.
  const double seconds = (wav.size() - 44) / 2.0 / 22050;
  EXPECT_GT(seconds, 0.95);
  EXPECT_LT(seconds, 2.0);
  EXPECT_FALSE(std::filesystem::exists(folder.path + "/other.wav"));

  // The .MMF alone, at the default rate; no temporary file is left behind.
  std::ostringstream again;
  EXPECT_EQ(RunCommandLine({"--wav", folder.path + "/tune.MMF"}, again, err), 0);
  EXPECT_EQ(again.str(), "tune.wav は正しく書き出されました。\n");
  EXPECT_EQ(Le32(ReadFile(folder.path + "/tune.wav"), 24), 44100u);
  EXPECT_EQ(folder.Names(),
            (std::set<std::string>{"other.mmf", "tune.MMF", "tune.mml", "tune.wav"}));

  // With --stems, each part that sounds gets its own file, named after the score's part.
  std::ostringstream stems;
  EXPECT_EQ(RunCommandLine({"--ma2", "--wav", "--stems",
                            folder.Put("parts.mml", "1[T150 @0 V13 O5 L8 CDEFG] 3[@8 V9 O3 C2]")},
                           stems, err),
            0);
  EXPECT_EQ(
      stems.str(),
      "parts.mml は正しく処理されました。\nparts.wav は正しく書き出されました。\n"
      "parts.part01.wav は正しく書き出されました。\nparts.part03.wav は正しく書き出されました。\n");
  EXPECT_EQ(ReadFile(folder.path + "/parts.part03.wav").size(),
            ReadFile(folder.path + "/parts.wav").size());  // they line up
}

}  // namespace
