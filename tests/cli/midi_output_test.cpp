#include "export/midi_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "job/file_services.h"
#include "tests/temp_folder.h"

namespace {

// Every outcome of "--midi": its log lines (the .MMF's first when a score is compiled),
// whether the .mid exists afterwards, and the exit status. "ring" stands for the .MMF compiled
// from the first case, "cut" for it without its last 9 bytes.
TEST(MidiOutputTest, EachOutcomeHasItsLineAndStatus) {
  struct Case {
    const char* file;
    const char* bytes;
    const char* lines;
    int status;  // 0 with a .mid, 1 without, 2 with a .mid but a failure
  };
  const Case cases[] = {
      {"ring.mml", "1[CDE]",
       "ring.mml は正しく処理されました。\nring.mid は正しく書き出されました。\n", 0},
      {"bell.mml", "F[ S8 A<w.adp> ] A[A] 1[C]",
       "bell.mml は正しく処理されました。\nbell.mid は書き出されました。Aパート(ADPCM)は MIDI "
       "ファイルに入れられないため省きました。\n",
       0},
      {"wave.mml", "F[ S8 A<w.adp> ] A[A]",
       "wave.mml は正しく処理されました。\nwave.mid は音符がないため作られませんでした。\n", 1},
      {"copy.MMF", "ring", "copy.mid は正しく書き出されました。\n", 0},
      {"cut.mmf", "cut",
       "cut.mid は書き出されましたが、元の MMF ファイルが壊れているため読めた部分だけです。\n", 2},
      {"text.MMF", "hello",
       "text.mid は元の MMF ファイルが壊れていて音符を読めなかったため作られませんでした。\n", 1},
      {"missing.MMF", nullptr, "missing.MMF ファイルのオープンに失敗しました。\n", 1},
  };
  TempFolder folder;
  folder.Put("w.adp", std::string(64, '\x11'));
  const std::string ring = folder.path + "/ring.MMF";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = folder.path + "/" + c.file;
    if (c.bytes != nullptr && (std::string(c.bytes) == "ring" || std::string(c.bytes) == "cut")) {
      std::filesystem::copy_file(ring, path);
      std::filesystem::resize_file(path,
                                   std::filesystem::file_size(ring) - (c.bytes[0] == 'c') * 9);
    } else if (c.bytes != nullptr) {
      folder.Put(c.file, c.bytes);
    }
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--ma2", "--midi", path}, out, err), std::min(c.status, 1));
    EXPECT_EQ(out.str(), c.lines);
    std::string mid = path.substr(0, path.rfind('.')) + ".mid";
    EXPECT_EQ(std::filesystem::exists(mid), c.status != 1);
  }
}

// A .mid that cannot be written: three attempts, like the .MMF, then one line and false.
TEST(MidiOutputTest, AMidiFileThatCannotBeWritten) {
  struct FailingMidiWrites : FileCompileServices {
    WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
      attempts += path.ends_with(".mid");
      return path.ends_with(".mid") ? WriteResult::kOpenFailed
                                    : FileCompileServices::WriteWholeFile(path, data);
    }
    void Sleep(int /*milliseconds*/) override {}
    int attempts = 0;
  } services;
  TempFolder folder;
  CompileProducts products;
  std::string log;
  ASSERT_EQ(CompileFile(folder.Put("ring.mml", "1[C]"), CompileOptions{}, log, services, &products),
            CompileOutcome::kWritten);
  EXPECT_FALSE(WriteMidiOfScore(products, log, services));
  EXPECT_EQ(services.attempts, 3);
  EXPECT_EQ(log.substr(0, log.find('\n') + 1), "ring.mid ファイルの書き込みに失敗しました。\r\n");
}

}  // namespace
