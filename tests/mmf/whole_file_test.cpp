// Scores compiled end to end through the compile job, compared with whole files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "job/compile_job.h"
#include "job/file_services.h"
#include "tests/temp_folder.h"
#include "tests/test_util.h"

namespace {

// Reads sources from disk and keeps the output in memory.
class MemoryOutput : public FileCompileServices {
 public:
  std::map<std::string, Bytes> written;
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
    ExpectSoundMmf(data);
    written[path] = data;
    return WriteResult::kOk;
  }
};

// Compiles `score` as song.mml in `folder` and returns the file the job wrote.
Bytes CompileScore(const TempFolder& folder, const std::string& score, bool ma2) {
  std::string source = folder.Put("song.mml", score);
  MemoryOutput services;
  CompileOptions options;
  options.ma2 = ma2;
  std::string log;
  EXPECT_EQ(CompileFile(source, options, log, services), CompileOutcome::kWritten) << log;
  return services.written[folder.path + "/song.MMF"];
}

std::string Row(const Bytes& bytes) {
  std::string dump = HexDump(bytes);
  std::replace(dump.begin(), dump.end(), '\n', ' ');
  return dump;
}

struct WholeFileCase {
  const char* score;
  bool ma2;
  const char* file;
};

// clang-format off
const WholeFileCase kWholeFiles[] = {
    // MA1, part 2 alone: channel 1 gets the default voice and volume; note 60 in window 0 is
    // written without a shift message.
    {"2[C]", false,
     "4D 4D 4D 44 00 00 00 45 "          // "MMMD", 69
     "43 4E 54 49 00 00 00 05 00 00 00 01 00 "
     "4D 54 52 00 00 00 00 2E 00 00 02 02 00 00 "
     "4D 74 73 71 00 00 00 20 "          // "Mtsq", 32
     "00 FF F0 06 43 01 80 31 10 F7 "    // opening event
     "00 00 71 00 00 00 70 00 "          // voice 0
     "00 00 77 60 "                      // volume 96
     "00 5C 7B "                         // note 60, gate 125 - 2 ticks
     "7D FF 00 "                         // end at tick 125
     "00 00 00 00 "
     "41 4D 1D 0F"},                     // CRC, trailer
    // MA2, part 2 in slot 1 after a part that only rests: the setup chunk carries voice 0 and
    // the first note announces window 0.
    {"1[R]2[C]", true,
     "4D 4D 4D 44 00 00 00 5C "          // "MMMD", 92
     "43 4E 54 49 00 00 00 05 00 00 00 01 00 "
     "4D 54 52 01 00 00 00 45 00 00 02 02 00 00 "
     "4D 74 73 75 00 00 00 15 "          // "Mtsu", 21
     "FF F0 12 43 03 00 00 00 60 01 14 52 F4 3A A0 14 62 F7 00 A0 F7 "
     "4D 74 73 71 00 00 00 1A "          // "Mtsq", 26
     "00 00 71 00 00 00 70 00 "          // voice 0 on channel 1
     "00 00 77 60 "                      // volume 96
     "00 00 72 00 00 5C 7B "             // window 0, note 60
     "7D FF 00 "
     "00 00 00 00 "
     "CB C5 1D 0F"},
};
// clang-format on

TEST(WholeFileTest, Scores) {
  for (const WholeFileCase& c : kWholeFiles) {
    SCOPED_TRACE(c.score);
    TempFolder folder;
    EXPECT_EQ(Row(CompileScore(folder, c.score, c.ma2)), Row(FromHex(c.file)));
  }
}

TEST(WholeFileTest, APartOnly) {
  TempFolder folder;
  // Wave bytes that spell chunk tags.
  folder.Put("w.adp", std::string("Awa\x02MTR\x01"
                                  "Atsq\x01\x02\x03\x04",
                                  16));
  // clang-format off
  const char* expected =
      "4D 4D 4D 44 00 00 00 4B "
      "43 4E 54 49 00 00 00 05 00 00 00 01 00 "
      "41 54 52 00 00 00 00 34 00 00 11 00 02 02 "
      "41 74 73 71 00 00 00 0E "
      "02 00 37 60 "                      // volume 96, two ticks late
      "00 01 7B "                         // wave A, gate 123
      "7D FF 00 00 00 00 00 "
      "41 77 61 01 00 00 00 10 "          // "Awa" 1, 16
      "41 77 61 02 4D 54 52 01 41 74 73 71 01 02 03 04 "
      "D6 1C 1D 0F";
  // clang-format on
  EXPECT_EQ(Row(CompileScore(folder, "F[A<w.adp>]A[A4]", true)), Row(FromHex(expected)));
}

TEST(WholeFileTest, TracksWithoutASoundingSlotAreLeftOut) {
  TempFolder folder;
  // Part 2 is the N part in slot 9: tracks 1 and 3, the setup chunk in track 1 only.
  Bytes file = CompileScore(folder, "1[C]2[N10C]", true);
  std::string text(file.begin(), file.end());
  EXPECT_NE(text.find("MTR\x01"), std::string::npos);
  EXPECT_EQ(text.find("MTR\x02"), std::string::npos);
  EXPECT_NE(text.find("MTR\x03"), std::string::npos);
  EXPECT_LT(text.find("Mtsu"), text.find("MTR\x03"));
  EXPECT_EQ(text.find("Mtsu", text.find("Mtsu") + 1), std::string::npos);
}

TEST(WholeFileTest, EventsOfAPartWithoutNotesAreNotWritten) {
  TempFolder folder;
  Bytes alone = CompileScore(folder, "1[C]", true);
  EXPECT_EQ(Row(CompileScore(folder, "1[C]2[V10@P3R]", true)), Row(alone));
}

TEST(WholeFileTest, NothingCarriesOverFromOneCompileToTheNext) {
  TempFolder folder;
  const char* score = "1[O2C#O6C]2[@4C]";
  Bytes first = CompileScore(folder, score, true);
  CompileScore(folder, "1[@O4 O7C @K5 D]3[V3 O2 C# @9 E]", true);
  EXPECT_EQ(Row(CompileScore(folder, score, true)), Row(first));
}

}  // namespace
