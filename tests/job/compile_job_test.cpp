#include "job/compile_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mmf/crc.h"
#include "tests/temp_folder.h"
#include "tests/test_util.h"

namespace {

// Services without a file system: sources come from a map, writes are recorded, and the
// outcome of each attempt to write the output can be scripted.
class FakeServices : public CompileServices {
 public:
  std::map<std::string, std::string> sources;
  std::deque<WriteResult> writeScript;  // one per attempt; kOk once it runs out
  std::map<std::string, Bytes> written;
  int writeAttempts = 0;
  std::vector<int> sleeps;
  std::vector<std::string> lines;
  std::vector<std::string> calls;  // "line", "refresh", "show" in the order they came
  std::string refreshedLog;
  std::string shown;

  bool ReadWholeFile(const std::string& path, std::string& bytes) override {
    calls.push_back("read");
    auto source = sources.find(path);
    if (source == sources.end()) {
      return false;
    }
    bytes = source->second;
    return true;
  }
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
    ++writeAttempts;
    WriteResult result = WriteResult::kOk;
    if (!writeScript.empty()) {
      result = writeScript.front();
      writeScript.pop_front();
    }
    if (result == WriteResult::kOk) {
      ExpectSoundMmf(data);
      written[path] = data;
    }
    return result;
  }
  void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
  void LineLogged(const std::string& line) override {
    calls.push_back("line");
    lines.push_back(line);
  }
  void RefreshLog(const std::string& log) override {
    calls.push_back("refresh");
    refreshedLog = log;
  }
  void ShowInformation(const std::string& text) override {
    calls.push_back("show");
    shown = text;
  }
};

const CompileOptions kMa1;  // the first-start options: MA1, no report, trailer on

CompileOutcome Compile(FakeServices& services, const std::string& path,
                       const CompileOptions& options = kMa1) {
  std::string log;
  CompileOutcome outcome = CompileFile(path, options, log, services);
  std::string joined;
  for (auto line = services.lines.rbegin(); line != services.lines.rend(); ++line) {
    joined += *line;
  }
  EXPECT_EQ(log, joined);  // every line logged went in front of the log
  return outcome;
}

uint32_t Be32(const Bytes& image, size_t at) {
  return (uint32_t{image[at]} << 24) | (uint32_t{image[at + 1]} << 16) |
         (uint32_t{image[at + 2]} << 8) | uint32_t{image[at + 3]};
}

// ---- Extensions and output names -----------------------------------------------------------

TEST(CompileJobTest, ExtensionsAndOutputNames) {
  struct Case {
    const char* path;
    const char* output;  // nullptr: not processed
    const char* line;
  };
  const Case cases[] = {
      {"/scores/song.mml", "/scores/song.MMF", "song.mml は正しく処理されました。\r\n"},
      {"/scores/song.MUS", "/scores/song.MMF", "song.MUS は正しく処理されました。\r\n"},
      {"song.Mml", "song.MMF", "song.Mml は正しく処理されました。\r\n"},
      {"/a.b/c.d/song.old.mml", "/a.b/c.d/song.old.MMF",
       "song.old.mml は正しく処理されました。\r\n"},
      {"/scores/song.txt", nullptr, "song.txt は処理されませんでした。\r\n"},
      {"/scores/song", nullptr, "song は処理されませんでした。\r\n"},
      {"/scores.mml/song", nullptr, "song は処理されませんでした。\r\n"},
      {"/scores/song.mml.bak", nullptr, "song.mml.bak は処理されませんでした。\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FakeServices services;
    services.sources[c.path] = "1[C]";
    CompileOutcome outcome = Compile(services, c.path);
    ASSERT_EQ(services.lines.size(), 1u);
    EXPECT_EQ(services.lines[0], c.line);
    if (c.output == nullptr) {
      EXPECT_EQ(outcome, CompileOutcome::kNotProcessed);
      EXPECT_TRUE(services.calls == std::vector<std::string>{"line"});  // nothing was read
      EXPECT_TRUE(services.written.empty());
    } else {
      EXPECT_EQ(outcome, CompileOutcome::kWritten);
      EXPECT_EQ(services.written.count(c.output), 1u);
    }
  }
}

TEST(CompileJobTest, NewestLineGoesOnTop) {
  FakeServices services;
  services.sources["/s/one.mml"] = "1[C]";
  std::string log;
  CompileFile("/s/one.mml", kMa1, log, services);
  CompileFile("/s/two.txt", kMa1, log, services);
  CompileFile("/s/three.mml", kMa1, log, services);
  EXPECT_EQ(log,
            "three.mml ファイルのオープンに失敗しました。\r\n"
            "two.txt は処理されませんでした。\r\n"
            "one.mml は正しく処理されました。\r\n");
}

// ---- Sources and compile errors ------------------------------------------------------------

TEST(CompileJobTest, FailuresBeforeWritingLogOneLineAndWriteNothing) {
  struct Case {
    const char* name;
    bool readable;
    std::string source;
    CompileOutcome outcome;
    const char* line;
  };
  const Case cases[] = {
      {"unreadable source", false, "", CompileOutcome::kOpenFailed,
       "song.mml ファイルのオープンに失敗しました。\r\n"},
      {"empty source", true, "", CompileOutcome::kCompileError,
       "song.mml 音符データがありませんでした。\r\n"},
      {"only rests", true, "1[R4]", CompileOutcome::kCompileError,
       "song.mml 音符データがありませんでした。\r\n"},
      {"splitter message, converted to UTF-8", true, "1[C", CompileOutcome::kCompileError,
       "song.mml 1パートの括弧が閉じられていません。\r\n"},
      {"the score ends at its first zero byte", true,
       std::string("1[CDE]\0"
                   "2[",
                   9),
       CompileOutcome::kWritten, "song.mml は正しく処理されました。\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServices services;
    if (c.readable) {
      services.sources["/s/song.mml"] = c.source;
    }
    EXPECT_EQ(Compile(services, "/s/song.mml"), c.outcome);
    ASSERT_EQ(services.lines.size(), 1u);
    EXPECT_EQ(services.lines[0], c.line);
    EXPECT_EQ(services.written.empty(), c.outcome != CompileOutcome::kWritten);
  }
}

// A wave is read only from a regular file: a folder or a pipe of its name is as good as none.
TEST(CompileJobTest, AWaveThatIsNoRegularFileIsACompileError) {
  TempFolder folder;
  std::filesystem::create_directory(folder.path + "/folder.adp");
  ASSERT_EQ(::mkfifo((folder.path + "/pipe.adp").c_str(), 0644), 0);
  for (const char* wave : {"no-such-wave.adp", "folder.adp", "pipe.adp"}) {
    SCOPED_TRACE(wave);
    FakeServices services;
    services.sources[folder.path + "/song.mml"] = std::string("F[A<") + wave + ">]A[A]";
    CompileOptions ma2;
    ma2.ma2 = true;
    EXPECT_EQ(Compile(services, folder.path + "/song.mml", ma2), CompileOutcome::kCompileError);
    EXPECT_EQ(services.lines[0],
              std::string("song.mml ADPCMファイル\"") + wave + "\"が見つかりませんでした。\r\n");
  }
}

// ---- Writing the output --------------------------------------------------------------------

TEST(CompileJobTest, OutputIsOpenedUpToThreeTimes) {
  using W = WriteResult;
  struct Case {
    const char* name;
    std::deque<WriteResult> script;
    int attempts;
    std::vector<int> sleeps;
    CompileOutcome outcome;
  };
  const Case cases[] = {
      {"first attempt", {W::kOk}, 1, {}, CompileOutcome::kWritten},
      {"second attempt", {W::kOpenFailed, W::kOk}, 2, {1000}, CompileOutcome::kWritten},
      {"third attempt",
       {W::kOpenFailed, W::kOpenFailed, W::kOk},
       3,
       {1000, 1000},
       CompileOutcome::kWritten},
      {"never opens",
       {W::kOpenFailed, W::kOpenFailed, W::kOpenFailed, W::kOk},
       3,
       {1000, 1000},
       CompileOutcome::kWriteFailed},
      {"a failed write is not retried",
       {W::kWriteFailed, W::kOk},
       1,
       {},
       CompileOutcome::kWriteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServices services;
    services.sources["/s/song.mml"] = "1[C]";
    services.writeScript = c.script;
    EXPECT_EQ(Compile(services, "/s/song.mml"), c.outcome);
    EXPECT_EQ(services.writeAttempts, c.attempts);
    EXPECT_EQ(services.sleeps, c.sleeps);
    EXPECT_EQ(services.lines[0], c.outcome == CompileOutcome::kWritten
                                     ? "song.mml は正しく処理されました。\r\n"
                                     : "song.mml ファイルの書き込みに失敗しました。\r\n");
  }
}

TEST(CompileJobTest, CrcAndTrailer) {
  for (bool trailer : {true, false}) {
    SCOPED_TRACE(trailer ? "EzGet trailer on" : "EzGet trailer off");
    FakeServices services;
    services.sources["/s/song.mml"] = "1[CDE]2[GAB]";
    CompileOptions options;
    options.ezgetTrailer = trailer;
    ASSERT_EQ(Compile(services, "/s/song.mml", options), CompileOutcome::kWritten);
    const Bytes& file = services.written["/s/song.MMF"];
    size_t n = file.size();
    size_t crcAt = trailer ? n - 4 : n - 2;
    EXPECT_EQ(Be32(file, 4), crcAt + 2 - 8);  // the file size counts the CRC, not the trailer
    uint16_t crc = Crc16(file.data(), crcAt, 0xFFFF);
    EXPECT_EQ(file[crcAt], crc >> 8);
    EXPECT_EQ(file[crcAt + 1], crc & 0xFF);
    if (trailer) {
      EXPECT_EQ(HexDump(Bytes(file.end() - 2, file.end())), "1D 0F");
    }
  }
}

// ---- The octave-range report ---------------------------------------------------------------

const char kReportNote[] =
    "\r\n※song.mmlは作成されています。\r\n上記のメッセージはMA1フォーマット仕様に基づくもので"
    "\r\n問題なく再生できる機種もあります。";

TEST(CompileJobTest, RangeReportIsShownAfterTheFileIsWritten) {
  FakeServices services;
  services.sources["/s/song.mml"] = "1[O3C#O6CC#]";
  CompileOptions options;
  options.octaveCheck = true;
  EXPECT_EQ(Compile(services, "/s/song.mml", options), CompileOutcome::kWritten);
  EXPECT_EQ(services.calls, (std::vector<std::string>{"read", "line", "refresh", "show"}));
  EXPECT_EQ(services.refreshedLog, "song.mml は正しく処理されました。\r\n");
  EXPECT_EQ(services.shown,
            std::string("パート1 音程の範囲が制限を越えています。\r\n"
                        "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n") +
                kReportNote);
}

TEST(CompileJobTest, NoRangeReportWithoutTheCheckInMa2OrWhenNothingIsWritten) {
  struct Case {
    const char* name;
    bool ma2;
    bool check;
    bool writable;
  };
  const Case cases[] = {
      {"check off", false, false, true},
      {"MA2", true, true, true},
      {"output not written", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServices services;
    services.sources["/s/song.mml"] = "1[O3C#O6CC#]";
    if (!c.writable) {
      services.writeScript = {WriteResult::kWriteFailed};
    }
    CompileOptions options;
    options.ma2 = c.ma2;
    options.octaveCheck = c.check;
    Compile(services, "/s/song.mml", options);
    EXPECT_TRUE(services.shown.empty());
    EXPECT_TRUE(services.refreshedLog.empty());
  }
}

// ---- Running out of memory -------------------------------------------------------------------

// Fake services that run out of memory at one step of the job.
class ExhaustedServices : public FakeServices {
 public:
  std::string failAt;  // "read", "write" or "show"
  bool ReadWholeFile(const std::string& path, std::string& bytes) override {
    FailHere("read");
    return FakeServices::ReadWholeFile(path, bytes);
  }
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
    FailHere("write");
    return FakeServices::WriteWholeFile(path, data);
  }
  void ShowInformation(const std::string& text) override {
    FailHere("show");
    FakeServices::ShowInformation(text);
  }

 private:
  void FailHere(const std::string& step) {
    if (step == failAt) {
      throw std::bad_alloc();
    }
  }
};

TEST(CompileJobTest, RunningOutOfMemoryGivesTheFileALineAndTheNextFileRuns) {
  struct Case {
    const char* failAt;
    CompileOutcome outcome;
    const char* line;  // the failing file's line
  };
  const Case cases[] = {
      {"read", CompileOutcome::kOutOfMemory, "big.mml メモリの確保に失敗しました。\r\n"},
      {"write", CompileOutcome::kOutOfMemory, "big.mml メモリの確保に失敗しました。\r\n"},
      // the file was written and has its line: no second one
      {"show", CompileOutcome::kWritten, "big.mml は正しく処理されました。\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    ExhaustedServices services;
    services.failAt = c.failAt;
    services.sources["/s/big.mml"] = "1[O3C#O6CC#]";
    services.sources["/s/next.mml"] = "1[C]";
    CompileOptions options;
    options.octaveCheck = true;
    std::string log;
    EXPECT_EQ(CompileFile("/s/big.mml", options, log, services), c.outcome);
    EXPECT_EQ(log, c.line);
    EXPECT_EQ(services.written.count("/s/big.MMF"), c.outcome == CompileOutcome::kWritten);
    services.failAt.clear();
    EXPECT_EQ(CompileFile("/s/next.mml", options, log, services), CompileOutcome::kWritten);
    EXPECT_EQ(log, std::string("next.mml は正しく処理されました。\r\n") + c.line);
  }
}

}  // namespace
