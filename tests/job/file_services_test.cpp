#include "job/file_services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "job/file_services_temporaries.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Real files, but the waits between attempts are only counted.
class NoWaitServices : public FileCompileServices {
 public:
  int sleeps = 0;
  void Sleep(int /*milliseconds*/) override { ++sleeps; }
};

TEST(FileServicesTest, ReadsWholeFilesZeroBytesIncluded) {
  TempFolder folder;
  std::string bytes("1[C]\0\xFF\x81", 7);
  std::string path = folder.Put("song.mml", bytes);
  FileCompileServices services;
  std::string read = "old";
  ASSERT_TRUE(services.ReadWholeFile(path, read));
  EXPECT_EQ(read, bytes);
  EXPECT_FALSE(services.ReadWholeFile(folder.path + "/missing.mml", read));
  EXPECT_FALSE(services.ReadWholeFile(folder.path, read));  // a folder opens but cannot be read
}

TEST(FileServicesTest, WritesByReplacingAndLeavesNoTemporaryFiles) {
  TempFolder folder;
  std::string target = folder.Put("song.MMF", "old contents");
  ::chmod(target.c_str(), 0640);
  FileCompileServices services;
  EXPECT_EQ(services.WriteWholeFile(target, Bytes{1, 2, 3}), WriteResult::kOk);
  EXPECT_EQ(Contents(target), "\x01\x02\x03");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // a replaced file keeps its permissions
  EXPECT_EQ(services.WriteWholeFile(folder.path + "/new.MMF", Bytes{4}), WriteResult::kOk);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"song.MMF", "new.MMF"}));
}

TEST(FileServicesTest, AnOutputNameOfTheLongestAllowedLengthIsWritten) {
  TempFolder folder;
  std::string target = folder.path + "/" + std::string(251, 'x') + ".MMF";  // 255 bytes
  FileCompileServices services;
  EXPECT_EQ(services.WriteWholeFile(target, Bytes{7}), WriteResult::kOk);
  EXPECT_EQ(Contents(target), "\x07");
  EXPECT_EQ(folder.Names().size(), 1u);
}

TEST(FileServicesTest, TargetsThatCannotBeOpened) {
  TempFolder folder;
  fs::create_directory(folder.path + "/song.MMF");
  FileCompileServices services;
  EXPECT_EQ(services.WriteWholeFile(folder.path + "/no/such/folder/song.MMF", Bytes{1}),
            WriteResult::kOpenFailed);
  EXPECT_EQ(services.WriteWholeFile(folder.path + "/song.MMF", Bytes{1}), WriteResult::kOpenFailed);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"song.MMF"}));
  EXPECT_TRUE(fs::is_directory(folder.path + "/song.MMF"));
}

// A sweep removes files by these names only: a name it misreads could remove a file that is not
// the program's, or ask about process 0 or -1 (which stand for groups of processes).
TEST(FileServicesTest, OnlyTheProgramsOwnTemporaryNamesAreRecognised) {
  struct NameCase {
    const char* name;
    int pid;
  };
  const NameCase kNameCases[] = {
      // the program's names
      {".quavrex-1234-0.tmp", 1234},
      {".quavrex-1-4294967295.tmp", 1},
      {".quavrex-2147483647-7.tmp", 2147483647},
      // process ids that name no single process
      {".quavrex-0-0.tmp", 0},
      {".quavrex--1-0.tmp", 0},
      {".quavrex-2147483648-0.tmp", 0},
      {".quavrex-99999999999-0.tmp", 0},
      // nearly the program's names
      {".quavrex-01234-0.tmp", 0},
      {".quavrex-1234-00.tmp", 0},
      {".quavrex-1234-4294967296.tmp", 0},
      {".quavrex-1234.tmp", 0},
      {".quavrex-1234-.tmp", 0},
      {".quavrex-.tmp", 0},
      {".quavrex-1234-0-1.tmp", 0},
      {".quavrex-+12-0.tmp", 0},
      {".quavrex- 12-0.tmp", 0},
      {".quavrex-1234-0.tmp~", 0},
      {".quavrex-1234-0.TMP", 0},
      {"quavrex-1234-0.tmp", 0},
      {"song.MMF", 0},
      {"", 0},
  };
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TemporaryNameProcess(c.name), c.pid);
  }
  EXPECT_EQ(TemporaryNameProcess(TemporaryName()), ::getpid());
}

// ---- The job on real files -----------------------------------------------------------------

TEST(FileServicesTest, AnOutputThatCannotBeReplacedIsTriedThreeTimesAndLeavesNothing) {
  TempFolder folder;
  std::string source = folder.Put("song.mml", "1[CDE]");
  fs::create_directory(folder.path + "/song.MMF");  // the output name is taken by a folder
  NoWaitServices services;
  std::string log;
  EXPECT_EQ(CompileFile(source, CompileOptions{}, log, services), CompileOutcome::kWriteFailed);
  EXPECT_EQ(log, "song.mml ファイルの書き込みに失敗しました。\r\n");
  EXPECT_EQ(services.sleeps, 2);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
}

TEST(FileServicesTest, AnExistingOutputSurvivesAFailedCompile) {
  TempFolder folder;
  std::string source = folder.Put("song.mml", "1[CDE");
  std::string output = folder.Put("song.MMF", "the previous file");
  NoWaitServices services;
  std::string log;
  EXPECT_EQ(CompileFile(source, CompileOptions{}, log, services), CompileOutcome::kCompileError);
  EXPECT_EQ(Contents(output), "the previous file");
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"song.mml", "song.MMF"}));
}

TEST(FileServicesTest, AFolderNamedLikeAScoreCannotBeOpened) {
  TempFolder folder;
  fs::create_directory(folder.path + "/song.mml");
  NoWaitServices services;
  std::string log;
  EXPECT_EQ(CompileFile(folder.path + "/song.mml", CompileOptions{}, log, services),
            CompileOutcome::kOpenFailed);
  EXPECT_EQ(log, "song.mml ファイルのオープンに失敗しました。\r\n");
}

}  // namespace
