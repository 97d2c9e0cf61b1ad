// The WAVE file beside an .MMF: read and written through the file services like the .MMF
// itself, with one log line for every outcome.

#include "export/wav_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "job/file_services.h"
#include "tests/temp_folder.h"

namespace {

uint32_t Le32(const Bytes& bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

// Real files, except that writes of .wav files give `wavResult` when it is not kOk.
struct WavServices : FileCompileServices {
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
    if (!path.ends_with(".wav")) {
      return FileCompileServices::WriteWholeFile(path, data);
    }
    ++attempts;
    written = data;
    return wavResult == WriteResult::kOk ? FileCompileServices::WriteWholeFile(path, data)
                                         : wavResult;
  }
  void Sleep(int /*milliseconds*/) override {}
  void LineLogged(const std::string& line) override { lines += line; }
  WriteResult wavResult = WriteResult::kOk;
  int attempts = 0;
  Bytes written;
  std::string lines;
};

TEST(WavOutputTest, EachOutcomeHasItsLine) {
  struct Case {
    const char* mmf;  // "tune.MMF" is compiled from a score; "pipe.MMF" is a named pipe
    WriteResult wavResult;
    int attempts;
    const char* line;
  };
  const Case cases[] = {
      {"tune.MMF", WriteResult::kOk, 1, "tune.wav は正しく書き出されました。\r\n"},
      // Opening is tried three times, like the .MMF; a failed write is final.
      {"tune.MMF", WriteResult::kOpenFailed, 3, "tune.wav ファイルの書き込みに失敗しました。\r\n"},
      {"tune.MMF", WriteResult::kWriteFailed, 1, "tune.wav ファイルの書き込みに失敗しました。\r\n"},
      {"text.MMF", WriteResult::kOk, 0, "text.wav 再生できるMMFファイルではありません。\r\n"},
      // the audio track alone plays
      {"bell.MMF", WriteResult::kOk, 1, "bell.wav は正しく書き出されました。\r\n"},
      {"gone.MMF", WriteResult::kOk, 0, "gone.wav ファイルのオープンに失敗しました。\r\n"},
      // Not waited on for a writer that never comes.
      {"pipe.MMF", WriteResult::kOk, 0, "pipe.wav ファイルのオープンに失敗しました。\r\n"},
  };
  TempFolder folder;
  std::string log;
  WavServices compiling;
  ASSERT_EQ(CompileFile(folder.Put("tune.mml", "1[T120 @0 V13 O5 L4 CDEF]"), CompileOptions{}, log,
                        compiling),
            CompileOutcome::kWritten);
  folder.Put("text.MMF", "MMMD and no more");
  folder.Put("bell.adp", std::string(4000, '\x19'));  // a second at 8 kHz
  CompileOptions ma2;
  ma2.ma2 = true;
  ASSERT_EQ(CompileFile(folder.Put("bell.mml", "F[S8 A<bell.adp>] A[T120 L2 A A A]"), ma2, log,
                        compiling),
            CompileOutcome::kWritten);
  ASSERT_EQ(::mkfifo((folder.path + "/pipe.MMF").c_str(), 0600), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mmf) + " " + c.line);
    WavServices services;
    services.wavResult = c.wavResult;
    log = "older line\r\n";
    RenderOptions options;
    options.rate = 22050;
    const bool ok = c.wavResult == WriteResult::kOk && c.attempts == 1;
    EXPECT_EQ(WriteWavOfMmf(folder.path + "/" + c.mmf, options, log, services), ok);
    EXPECT_EQ(services.lines, c.line);
    EXPECT_EQ(log, std::string(c.line) + "older line\r\n");
    EXPECT_EQ(services.attempts, c.attempts);
    if (c.attempts > 0) {
      // A whole WAVE file: its sizes filled in, 22050 Hz, two seconds of tune and the release.
      const Bytes& wav = services.written;
      ASSERT_GT(wav.size(), 44u);
      EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
      EXPECT_EQ(Le32(wav, 24), 22050u);
      EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
      EXPECT_GT(wav.size() - 44, 2 * 2 * 22050u);
    }
  }
  EXPECT_EQ(folder.Names(),
            (std::set<std::string>{"bell.MMF", "bell.adp", "bell.mml", "bell.wav", "pipe.MMF",
                                   "text.MMF", "tune.MMF", "tune.mml", "tune.wav"}));
}

}  // namespace
