#include "export/midi_output.h"

#include "export/beside_file.h"
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

bool WriteMidiBeside(const std::string& mmfPath, const Bytes& image, const ScoreTempo* score,
                     std::string& log, CompileServices& services) {
  const std::string midiPath = BesidePath(mmfPath, ".mid");
  const std::string name = DisplayNameOf(midiPath);
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

ScoreTempo ScoreTempoOf(const CompileProducts& products) {
  ScoreTempo score;
  score.delayTicks = products.scoreDelayTicks;
  for (const TempoChange& change : products.tempoChanges) {
    score.changes.push_back({change.time, change.tempo});
  }
  return score;
}

bool WriteMidiOfScore(const CompileProducts& products, std::string& log,
                      CompileServices& services) {
  const ScoreTempo score = ScoreTempoOf(products);
  return WriteMidiBeside(products.outputPath, products.image, &score, log, services);
}

bool WriteMidiOfMmf(const std::string& path, std::string& log, CompileServices& services,
                    const ScoreTempo* score) {
  std::string bytes;
  if (!services.ReadWholeFile(path, bytes)) {
    LogLine(DisplayNameOf(path) + kOpenFailed, log, services);
    return false;
  }
  const Bytes image(bytes.begin(), bytes.end());
  return WriteMidiBeside(path, image, score, log, services);
}
