// MIDI files on the command line: each becomes its score and is compiled, a score that exists
// is kept unless --force is given, a damaged file gets its fault and offset while the batch
// goes on, and --midi never writes over the MIDI file a score came from.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "tests/temp_folder.h"

namespace {

// One note of a quarter at 96 ticks a quarter; format 0.
const std::string kTune(
    "MThd\0\0\0\x06\0\0\0\x01\0\x60"
    "MTrk\0\0\0\x0C\0\x90\x3C\x64\x60\x80\x3C\0\0\xFF\x2F\0",
    34);

std::string RunQuavrexc(const std::vector<std::string>& args, int& status) {
  std::ostringstream out, err;
  status = RunCommandLine(args, out, err);
  return out.str() + err.str();
}

TEST(MidiFilesTest, EachRunHasItsLinesFilesAndStatus) {
  struct Step {
    const char* name;
    std::vector<std::string> args;  // before the files
    std::vector<std::string> files;
    const char* lines;
    int status;
  };
  const Step steps[] = {
      {"converted",
       {},
       {"tune.mid"},
       "tune.mml は正しく書き出されました。\ntune.mml は正しく処理されました。\n",
       0},
      {"kept", {}, {"tune.mid"}, "tune.mml はすでにあるため書き出しませんでした。\n", 1},
      {"forced",
       {"--force", "--ma2"},
       {"tune.mid"},
       "tune.mml は正しく書き出されました。\ntune.mml は正しく処理されました。\n",
       0},
      {"any case",
       {},
       {"LOUD.MIDI"},
       "LOUD.mml は正しく書き出されました。\nLOUD.mml は正しく処理されました。\n",
       0},
      {"damaged, then the batch goes on",
       {},
       {"cut.mid", "other.mid"},
       "cut.mid は変換できませんでした。0x0022 バイト目: ファイルが途中で切れています。\n"
       "other.mml は正しく書き出されました。\nother.mml は正しく処理されました。\n",
       1},
      {"source kept from --midi",
       {"--force", "--midi"},
       {"tune.mid"},
       "tune.mml は正しく書き出されました。\ntune.mml は正しく処理されました。\n"
       "tune.mid は元の MIDI ファイルなので上書きしませんでした。\n",
       0},
  };
  TempFolder folder;
  folder.Put("tune.mid", kTune);
  folder.Put("LOUD.MIDI", kTune);
  folder.Put("other.mid", kTune);
  folder.Put("cut.mid", kTune.substr(0, 30) + std::string("\x40\x00\x00\x00", 4));
  const std::string edited = "; my own edits\r\n1[cde]\r\n";
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (std::string(step.name) == "kept") {
      folder.Put("tune.mml", edited);
    }
    std::vector<std::string> args = step.args;
    for (const std::string& file : step.files) {
      args.push_back(folder.path + "/" + file);
    }
    int status = -1;
    EXPECT_EQ(RunQuavrexc(args, status), step.lines);
    EXPECT_EQ(status, step.status);
  }
  // The hand-edited score was kept, then replaced when forced; the damaged file left nothing.
  EXPECT_FALSE(std::filesystem::exists(folder.path + "/cut.mml"));
  EXPECT_EQ(std::filesystem::file_size(folder.path + "/tune.mid"), kTune.size());
  std::ifstream score(folder.path + "/tune.mml", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(score)), {});
  EXPECT_NE(text, edited);
  EXPECT_NE(text.find("1[\r\n"), std::string::npos);
}

}  // namespace
