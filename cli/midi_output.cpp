#include "cli/midi_output.h"

#include "core/sjis.h"
#include "midi/midi_export.h"
#include "reader/mmf_reader.h"

namespace {

// Log lines (UTF-8), each after the name of the file they are about.
constexpr const char* kWritten = " は正しく書き出されました。";
constexpr const char* kAudioLeftOut =
    " は書き出されました。Aパート(ADPCM)は MIDI ファイルに入れられないため省きました。";
constexpr const char* kDamaged =
    " は書き出されましたが、元の MMF ファイルが壊れているため読めた部分だけです。";
constexpr const char* kDamagedAudioLeftOut =
    " は書き出されましたが、元の MMF ファイルが壊れているため読めた部分だけです。"
    "Aパート(ADPCM)は省きました。";
constexpr const char* kNoNotes = " は音符がないため作られませんでした。";
constexpr const char* kDamagedNoNotes =
    " は元の MMF ファイルが壊れていて音符を読めなかったため作られませんでした。";
constexpr const char* kWriteFailed = " ファイルの書き込みに失敗しました。";
constexpr const char* kOpenFailed = " ファイルのオープンに失敗しました。";

constexpr int kWriteAttempts = 3;
constexpr int kRetryWaitMs = 1000;

std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return FileNameForDisplay(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The .mid beside a file: its path up to the last "." of its name, then ".mid".
std::string MidiPathOf(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + ".mid";
}

void LogLine(const std::string& line, std::string& log, CompileServices& services) {
  log.insert(0, line + "\r\n");
  services.LineLogged(line + "\r\n");
}

// Like the .MMF: up to three attempts to open the target, a failed write is final.
bool WriteWithRetries(const std::string& path, const Bytes& bytes, CompileServices& services) {
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    WriteResult result = services.WriteWholeFile(path, bytes);
    if (result != WriteResult::kOpenFailed) {
      return result == WriteResult::kOk;
    }
    if (attempt < kWriteAttempts) {
      services.Sleep(kRetryWaitMs);
    }
  }
  return false;
}

bool WriteMidiBeside(const std::string& mmfPath, const Bytes& image, const ScoreTempo* score,
                     std::string& log, CompileServices& services) {
  const std::string midiPath = MidiPathOf(mmfPath);
  const std::string name = FileNameOf(midiPath);
  MidiExport midi = ExportMidi(ReadMmf(image.data(), image.size()), score);
  if (midi.noNotes) {
    LogLine(name + (midi.damaged ? kDamagedNoNotes : kNoNotes), log, services);
    return false;
  }
  if (!WriteWithRetries(midiPath, midi.bytes, services)) {
    LogLine(name + kWriteFailed, log, services);
    return false;
  }
  if (midi.damaged) {
    LogLine(name + (midi.audioLeftOut ? kDamagedAudioLeftOut : kDamaged), log, services);
    return false;
  }
  LogLine(name + (midi.audioLeftOut ? kAudioLeftOut : kWritten), log, services);
  return true;
}

}  // namespace

bool WriteMidiOfScore(const CompileProducts& products, std::string& log,
                      CompileServices& services) {
  ScoreTempo score;
  score.delayTicks = products.scoreDelayTicks;
  for (const TempoChange& change : products.tempoChanges) {
    score.changes.push_back({change.time, change.tempo});
  }
  return WriteMidiBeside(products.outputPath, products.image, &score, log, services);
}

bool WriteMidiOfMmf(const std::string& path, std::string& log, CompileServices& services) {
  std::string bytes;
  if (!services.ReadWholeFile(path, bytes)) {
    LogLine(FileNameOf(path) + kOpenFailed, log, services);
    return false;
  }
  const Bytes image(bytes.begin(), bytes.end());
  return WriteMidiBeside(path, image, nullptr, log, services);
}
