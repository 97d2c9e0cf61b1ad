#include "job/compile_job.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "core/messages.h"
#include "core/sjis.h"
#include "frontend/split_score.h"
#include "job/fault_locator.h"
#include "job/range_report.h"
#include "mmf/mmf_image.h"
#include "sequence/compiled_tracks.h"

namespace {

namespace jm = messages::job;

constexpr int kWriteAttempts = 3;
constexpr int kRetryWaitMs = 1000;

// The file name as log lines show it: the path after its last "/".
std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text from the last "." to the end (the whole path without one), upper-cased, must be
// ".MML" or ".MUS".
bool HasScoreExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? path : path.substr(dot);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return extension == ".MML" || extension == ".MUS";
}

// The output beside the source: its path up to the last "." followed by ".MMF".
std::string OutputPathOf(const std::string& path) {
  return path.substr(0, path.rfind('.')) + ".MMF";
}

// Opens the output up to three times, waiting between attempts; a failed write is final.
WriteResult WriteOutput(const std::string& path, const Bytes& data, CompileServices& services) {
  WriteResult result = WriteResult::kOpenFailed;
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    result = services.WriteWholeFile(path, data);
    if (result != WriteResult::kOpenFailed) {
      break;
    }
    if (attempt < kWriteAttempts) {
      services.Sleep(kRetryWaitMs);
    }
  }
  return result;
}

// Puts the file's line in front of the log and reports it.
void LogLine(const std::string& fileName, const std::string& text, std::string& log,
             CompileServices& services) {
  std::string line = fileName + text + "\r\n";
  log.insert(0, line);
  services.LineLogged(line);
}

// Tells the services where the failed compile's fault lies, when it has a place. The splitter
// took the score text, so the score is read again (only a failed compile pays for that).
void ReportFaultPlace(const std::string& path, ScoreEncoding encoding, const FaultPlace& place,
                      const std::string& message, CompileServices& services) {
  std::string score;
  EncodingFault fault;
  if (place.text == FaultText::kNone || !services.ReadWholeFile(path, score)) {
    return;
  }
  score.resize(std::min(score.size(), score.find('\0')));
  if (!ToCompilerText(score, encoding, fault)) {
    return;
  }
  const size_t at = LocateFault(place, score);
  if (at != std::string::npos) {
    services.FaultLocated({path, PositionInSjis(score, at), message});
  }
}

// The job without its guard against running out of memory; sets `logged` once the file's
// line is in the log.
CompileOutcome CompileFileUnguarded(const std::string& path, const std::string& fileName,
                                    const CompileOptions& options, std::string& log,
                                    CompileServices& services, CompileProducts* products,
                                    bool& logged) {
  auto logLine = [&](const std::string& text) {
    LogLine(fileName, text, log, services);
    logged = true;
  };

  if (!HasScoreExtension(path)) {
    logLine(std::string(jm::kNotProcessed));
    return CompileOutcome::kNotProcessed;
  }
  std::string text;
  if (!services.ReadWholeFile(path, text)) {
    logLine(std::string(jm::kOpenFailed));
    return CompileOutcome::kOpenFailed;
  }
  // The score ends at its first zero byte.
  text.resize(std::min(text.size(), text.find('\0')));
  EncodingFault encodingFault;
  if (!ToCompilerText(text, options.encoding, encodingFault)) {
    logLine(" " + encodingFault.message);
    services.FaultLocated(
        {path, PositionInUtf8(text, encodingFault.offset), encodingFault.message});
    return CompileOutcome::kCompileError;
  }

  const auto failed = [&](const CompileFault& fault) {
    const std::string message = SjisToUtf8(fault.message);
    logLine(" " + message);
    ReportFaultPlace(path, options.encoding, fault.place, message, services);
    return CompileOutcome::kCompileError;
  };
  // The stages hand their results on; nothing of this compile reaches the next file. The
  // splitter takes the text itself: a copy would double what a large score holds.
  StageResult<SplitScore> split =
      SplitParts(std::move(text), options.ma2 ? kFormatMa2 : kFormatMa1);
  if (!split.ok()) {
    return failed(split.fault());
  }
  SplitScore& score = split.value();
  StageResult<CompiledTracks> compiled = CompileParts(score);
  if (!compiled.ok()) {
    return failed(compiled.fault());
  }
  const CompiledTracks& tracks = compiled.value();
  StageResult<SetupChunk> setup =
      BuildSetupChunk(tracks.usedVoices, score.voices, score.format, options.voiceSetup == 1);
  if (!setup.ok()) {
    return failed(setup.fault());
  }
  std::string report;
  if (!options.ma2 && options.octaveCheck) {
    report = MakeRangeReport(score, tracks);
  }
  StageResult<Bytes> built = BuildMmf(score, tracks, setup.value(), path);
  if (!built.ok()) {
    return failed(built.fault());
  }
  Bytes& image = built.value();
  if (!options.ezgetTrailer) {
    image.resize(image.size() - 2);  // the file then ends with the CRC
  }

  if (WriteOutput(OutputPathOf(path), image, services) != WriteResult::kOk) {
    logLine(std::string(jm::kWriteFailed));  // the range report is dropped with the file
    return CompileOutcome::kWriteFailed;
  }
  logLine(std::string(jm::kProcessed));
  if (products != nullptr) {
    products->outputPath = OutputPathOf(path);
    products->image = std::move(image);
    products->tempoChanges = tracks.tempoChanges;
    products->partNames = score.partName;
    // The writer starts the score tracks two ticks late when an A part plays.
    products->scoreDelayTicks = tracks.partUsed[kAdpcmSlot] != 0 ? 2 : 0;
  }
  if (!report.empty()) {
    services.RefreshLog(log);
    services.ShowInformation(SjisToUtf8(report) + std::string(jm::kReportNoteHead) + fileName +
                             std::string(jm::kReportNoteTail));
  }
  return CompileOutcome::kWritten;
}

}  // namespace

CompileOutcome CompileFile(const std::string& path, const CompileOptions& options, std::string& log,
                           CompileServices& services, CompileProducts* products) {
  std::string fileName;
  bool logged = false;
  try {
    fileName = FileNameForDisplay(FileNameOf(path));
    return CompileFileUnguarded(path, fileName, options, log, services, products, logged);
  } catch (const std::bad_alloc&) {
    // Everything of this file is freed by now, so the line has room; the next file starts
    // afresh. An output is either complete or not made at all.
  }
  if (logged) {
    return CompileOutcome::kWritten;  // only the line of a written file comes before more work
  }
  try {
    LogLine(fileName, std::string(jm::kOutOfMemory), log, services);
  } catch (const std::bad_alloc&) {
    // Not even the line fits: the file stays without one rather than ending the batch.
  }
  return CompileOutcome::kOutOfMemory;
}
