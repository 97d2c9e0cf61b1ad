#include "export/score_of_midi.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "export/beside_file.h"
#include "midi_import/import_messages.h"
#include "midi_import/midi_import.h"

namespace im = import_messages;

namespace {

bool EndsWithIgnoringCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) {
    return false;
  }
  for (size_t k = 0; k < tail.size(); ++k) {
    char c = text[text.size() - tail.size() + k];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != tail[k]) {
      return false;
    }
  }
  return true;
}

// "0x0123" for a byte offset.
std::string Offset(size_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%04zX", offset);
  return text;
}

}  // namespace

bool IsMidiPath(const std::string& path) {
  return EndsWithIgnoringCase(path, ".mid") || EndsWithIgnoringCase(path, ".midi");
}

std::string ScorePathOfMidi(const std::string& path) { return BesidePath(path, ".mml"); }

bool WriteScoreOfMidi(const std::string& path, bool ma2, bool force, std::string& log,
                      CompileServices& services) {
  const std::string scorePath = ScorePathOfMidi(path);
  const std::string scoreName = DisplayNameOf(scorePath);
  std::string bytes;
  if (!services.ReadWholeFile(path, bytes)) {
    LogLine(DisplayNameOf(path) + im::kOpenFailed, log, services);
    return false;
  }
  std::error_code error;
  const auto status = std::filesystem::symlink_status(scorePath, error);
  if (!force && std::filesystem::exists(status)) {
    LogLine(scoreName + im::kExists, log, services);
    return false;
  }
  ImportOptions options;
  options.ma2 = ma2;
  options.sourceName = DisplayNameOf(path);
  const ImportResult result =
      ImportMidi(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options);
  if (!result.ok) {
    const std::string place = result.hasOffset ? Offset(result.offset) + im::kByte : "";
    LogLine(DisplayNameOf(path) + im::kNotConverted + place + result.fault, log, services);
    return false;
  }
  if (!WriteWithRetries(scorePath, Bytes(result.score.begin(), result.score.end()), services)) {
    LogLine(scoreName + im::kWriteFailed, log, services);
    return false;
  }
  if (result.keptNotes == result.totalNotes) {
    LogLine(scoreName + im::kWritten, log, services);
  } else {
    LogLine(scoreName + im::kWrittenPartly + im::kKeptHead + std::to_string(result.totalNotes) +
                im::kKeptMiddle + std::to_string(result.keptNotes) + im::kKeptTail +
                (result.drumsLeftOut ? im::kDrumsLeftOut : ""),
            log, services);
  }
  return true;
}

bool KeepSourceMidi(const std::string& mmfPath, const std::string& sourceMidi, std::string& log,
                    CompileServices& services) {
  const std::string midiPath = BesidePath(mmfPath, ".mid");
  std::error_code error;
  if (midiPath != sourceMidi && !std::filesystem::equivalent(midiPath, sourceMidi, error)) {
    return false;
  }
  LogLine(DisplayNameOf(midiPath) + im::kSourceKept, log, services);
  return true;
}
