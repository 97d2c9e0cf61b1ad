// The bundled example scores compile cleanly (in a copy, so the source tree stays as it is),
// and alike whether they are saved in Shift-JIS or in UTF-8.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "core/sjis.h"
#include "reader/mmf_reader.h"
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

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ToUtf8(const std::string& sjis) {
  std::string utf8 = SjisToUtf8(sjis);
  EXPECT_EQ(utf8.find("\\x"), std::string::npos);  // every example byte converts
  return utf8;
}

// What one compile printed and wrote.
struct CompileRecord {
  std::string out;
  std::string err;
  std::string image;  // empty when nothing was written
};

CompileRecord CompileIn(const fs::path& folder, const char* format, const char* score,
                        const std::string& bytes) {
  const fs::path path = folder / score;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  fs::path output = fs::path(path).replace_extension(".MMF");
  fs::remove(output);
  std::ostringstream out;
  std::ostringstream err;
  RunCommandLine({format, path.string()}, out, err);
  CompileRecord record{out.str(), err.str(), fs::exists(output) ? ReadFile(output) : ""};
  // The diagnostics name the path, which differs by folder.
  for (size_t at; (at = record.err.find(folder.string())) != std::string::npos;) {
    record.err.replace(at, folder.string().size(), "FOLDER");
  }
  return record;
}

TEST(ExamplesTest, Utf8CopiesCompileLikeShiftJis) {
  struct Case {
    const char* format;
    const char* score;
    const char* addition;  // UTF-8, appended to the score (a fault, or nothing)
  };
  const Case cases[] = {
      {"--ma1", "minuet.mml", ""},
      {"--ma2", "overture.mml", ""},
      {"--ma2", "doorbell.mml", ""},
      {"--ma1", "minuet.mml", "\n1[ v16 ]"},
      {"--ma2", "overture.mml", "\n16[ cd 音 ]"},
      {"--ma2", "doorbell.mml", "\nC[ CR:\\xZZ, ]"},
      {"--ma2", "doorbell.mml", "\nD[ @L7 ]"},
  };
  TempFolder temp;
  const fs::path sjis = fs::path(temp.path) / "sjis";
  const fs::path utf8 = fs::path(temp.path) / "utf8";
  const fs::path marked = fs::path(temp.path) / "marked";
  for (const fs::path& folder : {sjis, utf8, marked}) {
    fs::copy(fs::path(QUAVREX_SOURCE_DIR) / "examples", folder);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.score) + c.addition);
    const std::string original = ReadFile(fs::path(QUAVREX_SOURCE_DIR) / "examples" / c.score);
    const std::string text = ToUtf8(original) + c.addition;
    const CompileRecord expected = CompileIn(sjis, c.format, c.score, Sjis(text));
    EXPECT_EQ(expected.image.empty(), *c.addition != '\0');
    for (const fs::path& folder : {utf8, marked}) {
      const std::string mark = folder == marked ? "\xEF\xBB\xBF" : "";
      const CompileRecord record = CompileIn(folder, c.format, c.score, mark + text);
      EXPECT_EQ(record.out, expected.out);
      EXPECT_EQ(record.err, expected.err);
      EXPECT_TRUE(record.image == expected.image) << "the .MMF files differ";
    }
  }
}

// Each pass of a repeat sounds the same: a body that lowers the octave more often than it
// raises it plays its next pass an octave lower (the minuet's part 1 once did).
TEST(ExamplesTest, EveryPassOfARepeatPlaysTheSameNotes) {
  struct Case {
    const char* format;
    const char* score;
    int channel;   // 1-16, as the listing numbers them
    size_t first;  // the body's first note on the channel
    size_t notes;  // the body's notes
    size_t passes;
  };
  const Case cases[] = {
      {"--ma1", "minuet.mml", 1, 0, 32, 2},  {"--ma1", "minuet.mml", 2, 0, 13, 2},
      {"--ma1", "minuet.mml", 3, 0, 23, 2},  {"--ma2", "overture.mml", 2, 0, 4, 2},
      {"--ma2", "overture.mml", 3, 0, 3, 4}, {"--ma2", "overture.mml", 3, 12, 3, 2},
      {"--ma2", "doorbell.mml", 1, 6, 2, 2},
  };
  TempFolder temp;
  const fs::path folder = fs::path(temp.path) / "examples";
  fs::copy(fs::path(QUAVREX_SOURCE_DIR) / "examples", folder);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.score << " channel " << c.channel << " from " << c.first);
    const std::string mmf = CompileIn(folder, c.format, c.score, ReadFile(folder / c.score)).image;
    const MmfFile file = ReadMmf(reinterpret_cast<const uint8_t*>(mmf.data()), mmf.size());
    std::vector<int> notes;
    for (const ScoreTrack& track : file.tracks) {
      for (const MmfEvent& event : track.events) {
        if (event.kind == MmfEventKind::kNote && event.absChannel == c.channel - 1) {
          notes.push_back(event.note());
        }
      }
    }
    ASSERT_GE(notes.size(), c.first + c.notes * c.passes);
    for (size_t pass = 1; pass < c.passes; ++pass) {
      for (size_t k = 0; k < c.notes; ++k) {
        EXPECT_EQ(notes[c.first + pass * c.notes + k], notes[c.first + k])
            << "pass " << pass + 1 << ", note " << k + 1;
      }
    }
  }
}

}  // namespace
