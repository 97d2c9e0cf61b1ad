#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace {

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

// ---- Parsing ---------------------------------------------------------------------------------

struct ParseCase {
  Args args;
  Action action;
  bool ma2;
  bool octaveCheck;
  int voiceSetup;
  bool ezget;
  Args files;
  const char* error;
};

const ParseCase kParseCases[] = {
    // the dialog's first-start options
    {{"a.mml"}, Action::kCompile, false, false, 0, true, {"a.mml"}, ""},
    {{"--ma1", "a.mml", "b.mus"}, Action::kCompile, false, false, 0, true, {"a.mml", "b.mus"}, ""},
    // every option, anywhere before "--"
    {{"a.mml", "--ma2", "--octave-check", "b.mml", "--voice-setup", "--no-ezget"},
     Action::kCompile,
     true,
     true,
     1,
     false,
     {"a.mml", "b.mml"},
     ""},
    {{"--ma2", "--ma2", "a.mml"}, Action::kCompile, true, false, 0, true, {"a.mml"}, ""},
    // files that look like options
    {{"--", "--ma2", "-x.mml"}, Action::kCompile, false, false, 0, true, {"--ma2", "-x.mml"}, ""},
    {{"-"}, Action::kCompile, false, false, 0, true, {"-"}, ""},
    // help and version win
    {{"--help"}, Action::kHelp, false, false, 0, true, {}, ""},
    {{"a.mml", "--version", "--bogus"}, Action::kVersion, false, false, 0, true, {}, ""},
    {{"--bogus", "--help"}, Action::kHelp, false, false, 0, true, {}, ""},
    {{"--ma1", "--ma2", "--version"}, Action::kVersion, false, false, 0, true, {}, ""},
    // ... but not after "--", where they are file names
    {{"--bogus", "--", "--help"},
     Action::kUsageError,
     false,
     false,
     0,
     true,
     {},
     "unknown option '--bogus'"},
    // usage errors
    {{}, Action::kUsageError, false, false, 0, true, {}, "no score file given"},
    {{"--ma2"}, Action::kUsageError, false, false, 0, true, {}, "no score file given"},
    {{"--ma1", "--ma2", "a.mml"},
     Action::kUsageError,
     false,
     false,
     0,
     true,
     {},
     "--ma1 and --ma2 cannot be given together"},
    {{"-v", "a.mml"}, Action::kUsageError, false, false, 0, true, {}, "unknown option '-v'"},
    {{"--ma3", "a.mml"}, Action::kUsageError, false, false, 0, true, {}, "unknown option '--ma3'"},
};

TEST(CommandLineTest, Parsing) {
  for (const ParseCase& c : kParseCases) {
    std::string joined;
    for (const std::string& arg : c.args) {
      joined += arg + " ";
    }
    SCOPED_TRACE(joined);
    CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.error, c.error);
    if (c.action == Action::kCompile) {
      EXPECT_EQ(line.options.ma2, c.ma2);
      EXPECT_EQ(line.options.octaveCheck, c.octaveCheck);
      EXPECT_EQ(line.options.voiceSetup, c.voiceSetup);
      EXPECT_EQ(line.options.ezgetTrailer, c.ezget);
      EXPECT_EQ(line.files, c.files);
    }
  }
}

TEST(CommandLineTest, EncodingOption) {
  struct Case {
    Args args;
    ScoreEncoding encoding;
    const char* error;
  };
  const Case cases[] = {
      {{"a.mml"}, ScoreEncoding::kAuto, ""},
      {{"--encoding", "sjis", "a.mml"}, ScoreEncoding::kShiftJis, ""},
      {{"--encoding=utf-8", "a.mml"}, ScoreEncoding::kUtf8, ""},
      {{"--encoding=utf-8", "--encoding", "auto", "a.mml"}, ScoreEncoding::kAuto, ""},
      // the value is taken even when it looks like a file or an option
      {{"--encoding", "a.mml"},
       ScoreEncoding::kAuto,
       "--encoding takes auto, sjis or utf-8, not 'a.mml'"},
      {{"a.mml", "--encoding"},
       ScoreEncoding::kAuto,
       "--encoding takes auto, sjis or utf-8, not ''"},
      {{"--encoding=UTF-8", "a.mml"},
       ScoreEncoding::kAuto,
       "--encoding takes auto, sjis or utf-8, not 'UTF-8'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.error, c.error);
    if (*c.error == '\0') {
      EXPECT_EQ(line.options.encoding, c.encoding);
      EXPECT_EQ(line.files, Args{"a.mml"});
    }
  }
}

// ---- Running ---------------------------------------------------------------------------------

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult RunWith(const Args& args) {
  std::ostringstream out;
  std::ostringstream err;
  int status = RunCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CommandLineTest, CompilesEachFileInOrderAndPrintsItsLine) {
  TempFolder folder;
  std::string good = folder.Put("good.mml", "1[CDE]");
  std::string other = folder.Put("notes.txt", "1[CDE]");
  std::string bad = folder.Put("bad.mml", "1[CDE");
  RunResult run = RunWith({good, other, bad});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "good.mml は正しく処理されました。\n"
            "notes.txt は処理されませんでした。\n"
            "bad.mml 1パートの括弧が閉じられていません。\n");
  // The compile error's place, in the form compilers print, under the lines.
  EXPECT_EQ(run.err, bad +
                         ":1:1: error: 1パートの括弧が閉じられていません。\n"
                         " 1[CDE\n"
                         " ^\n");
  EXPECT_TRUE(std::filesystem::exists(folder.path + "/good.MMF"));
  EXPECT_FALSE(std::filesystem::exists(folder.path + "/bad.MMF"));

  RunResult again = RunWith({"--ma2", "--no-ezget", good});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "good.mml は正しく処理されました。\n");
}

TEST(CommandLineTest, RangeReportGoesToStandardErrorAfterItsLine) {
  TempFolder folder;
  std::string score = folder.Put("wide.mml", "1[O3C#O6CC#]");
  RunResult run = RunWith({"--octave-check", score});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "wide.mml は正しく処理されました。\n");
  EXPECT_EQ(run.err,
            "パート1 音程の範囲が制限を越えています。\n"
            "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\n"
            "\n※wide.mmlは作成されています。\n"
            "上記のメッセージはMA1フォーマット仕様に基づくもので\n"
            "問題なく再生できる機種もあります。\n");
}

TEST(CommandLineTest, HelpVersionAndUsageErrors) {
  RunResult help = RunWith({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: quavrexc [--ma1 | --ma2]", 0), 0u);

  RunResult version = RunWith({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("quavrexc ") + QUAVREX_VERSION + "\n");

  RunResult usage = RunWith({"--frobnicate", "a.mml"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");
  EXPECT_EQ(usage.err.rfind("quavrexc: unknown option '--frobnicate'\nUsage:", 0), 0u);
}

}  // namespace
