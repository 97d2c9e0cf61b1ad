// The bundled example scores compile cleanly (in a copy, so the source tree stays as it is).

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(ExamplesTest, EveryExampleCompiles) {
  struct Case {
    const char* format;
    const char* score;
  };
  const Case cases[] = {
      {"--ma1", "minuet.mml"},
      {"--ma2", "overture.mml"},
      {"--ma2", "doorbell.mml"},
  };
  TempFolder temp;
  fs::path folder = temp.path;
  fs::copy(fs::path(QUAVREX_SOURCE_DIR) / "examples", folder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    std::ostringstream out;
    std::ostringstream err;
    std::string path = (folder / c.score).string();
    EXPECT_EQ(RunCommandLine({c.format, "--octave-check", path}, out, err), 0);
    EXPECT_EQ(out.str(), std::string(c.score) + " は正しく処理されました。\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(fs::exists(fs::path(path).replace_extension(".MMF")));
  }
}

}  // namespace
