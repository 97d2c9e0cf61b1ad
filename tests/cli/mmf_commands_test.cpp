// The command line reads files whose names end in .MMF: --dump, --json and --verify, with
// their exit codes; scores are compiled as before.

#include "cli/mmf_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "tests/temp_folder.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int RunQuavrexc(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::ostringstream o;
  std::ostringstream e;
  int status = RunCommandLine(args, o, e);
  out = o.str();
  err = e.str();
  return status;
}

TEST(MmfCommandsTest, MmfNamesInAnyCase) {
  EXPECT_TRUE(IsMmfPath("a.MMF"));
  EXPECT_TRUE(IsMmfPath("dir/a.mmf"));
  EXPECT_TRUE(IsMmfPath(".mMf"));
  EXPECT_FALSE(IsMmfPath("a.mml"));
  EXPECT_FALSE(IsMmfPath("a.MMF.bak"));
  EXPECT_FALSE(IsMmfPath("MMF"));
}

// A compiled file verifies; each damaged copy is caught with its first finding.
TEST(MmfCommandsTest, VerifyCatchesFlippedTruncatedAndResized) {
  TempFolder folder;
  std::string score = folder.Put("song.mml", "1[CDE]");
  std::string out;
  std::string err;
  ASSERT_EQ(RunQuavrexc({"--ma2", score}, out, err), 0);
  const std::string image = ReadFile(folder.path + "/song.MMF");

  struct Damage {
    const char* name;
    std::string bytes;
    const char* line;  // the verify line after "name: "
  };
  std::string flipped = image;
  flipped[19] = static_cast<char>(flipped[19] ^ 0x01);  // the contents status
  std::string resized = image;
  resized[7] = static_cast<char>(resized[7] + 1);
  const Damage damages[] = {
      {"sound.mmf", image, "sound"},
      {"flipped.mmf", flipped, "byte 0x0068: stored CRC"},
      {"truncated.mmf", image.substr(0, image.size() - 5), "byte 0x0004: file size field says"},
      {"resized.mmf", resized, "byte 0x0004: file size field says"},
  };
  std::vector<std::string> args = {"--verify"};
  for (const Damage& d : damages) {
    args.push_back(folder.Put(d.name, d.bytes));
    SCOPED_TRACE(d.name);
    int status = RunQuavrexc({"--verify", args.back()}, out, err);
    EXPECT_EQ(status, std::string(d.line) == "sound" ? 0 : 1);
    std::string expected = args.back() + ": " + d.line;
    EXPECT_EQ(out.substr(0, expected.size()), expected) << out;
    EXPECT_EQ(err, "");
  }
  // One line per file; one unsound file makes the whole run fail.
  EXPECT_EQ(RunQuavrexc(args, out, err), 1);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
  EXPECT_EQ(RunQuavrexc({"--verify", args[1], args[1]}, out, err), 0);
}

TEST(MmfCommandsTest, DumpJsonAndCompileByKindOfFile) {
  TempFolder folder;
  std::string score = folder.Put("tune.mml", "1[C]");
  std::string out;
  std::string err;
  // The score is compiled, the .MMF beside it read, in the order given.
  std::string mmf = folder.path + "/tune.MMF";
  ASSERT_EQ(RunQuavrexc({"--ma2", score}, out, err), 0);
  ASSERT_EQ(RunQuavrexc({"--dump", score, mmf}, out, err), 0);
  EXPECT_EQ(out.rfind("tune.mml は正しく処理されました。\n" + mmf + ": ", 0), 0u) << out;
  EXPECT_NE(out.find("note O4 C gate"), std::string::npos);
  // Without --dump an .MMF is listed too; --json gives the object.
  std::string lower = folder.Put("copy.mmf", ReadFile(mmf));
  ASSERT_EQ(RunQuavrexc({lower}, out, err), 0);
  EXPECT_NE(out.find("findings: none"), std::string::npos);
  ASSERT_EQ(RunQuavrexc({"--json", lower}, out, err), 0);
  EXPECT_EQ(out.rfind("{\"file\":", 0), 0u);
  // A file that cannot be read.
  EXPECT_EQ(RunQuavrexc({"--verify", folder.path + "/missing.MMF"}, out, err), 1);
  EXPECT_EQ(err, folder.path + "/missing.MMF: cannot be read\n");
}

}  // namespace
