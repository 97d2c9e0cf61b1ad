#ifndef QUAVREX_JOB_COMPILE_JOB_H_
#define QUAVREX_JOB_COMPILE_JOB_H_

#include <array>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/score_encoding.h"
#include "core/source_position.h"
#include "sequence/compiled_tracks.h"

// The options a compile takes from the dialog (or the command line).
struct CompileOptions {
  bool ma2 = false;          // true: 16-voice MA2 output; false: 4-voice MA1
  int voiceSetup = 0;        // write the voice setup chunk in MA1; only 1 counts as on
  bool octaveCheck = false;  // make the MA1 octave-range report
  bool ezgetTrailer = true;  // keep the bytes 1D 0F after the CRC
  ScoreEncoding encoding = ScoreEncoding::kAuto;  // how the score's bytes are read
};

// The place in the score of a compile error, told beside its log line.
struct FaultLocation {
  std::string path;         // the score as the job was given it
  SourcePosition position;  // line, column and the line's text
  std::string message;      // UTF-8: the log line's message, without the file name
};

// How writing the output ended.
enum class WriteResult { kOk, kOpenFailed, kWriteFailed };

// The platform services the compile job uses. The command line and the dialog each supply
// their own; tests supply fakes to simulate failures.
class CompileServices {
 public:
  virtual ~CompileServices() = default;
  // Reads the whole file; false when it cannot be opened or read.
  virtual bool ReadWholeFile(const std::string& path, std::string& bytes) = 0;
  // Writes `data` as the whole file at `path` so that a failure never leaves a truncated
  // file behind. kOpenFailed is retried by the job; kWriteFailed is not.
  virtual WriteResult WriteWholeFile(const std::string& path, const Bytes& data) = 0;
  // Waits `milliseconds` before the next attempt to open the output.
  virtual void Sleep(int milliseconds) = 0;
  // A line (UTF-8, ending in "\r\n") was put in front of the log.
  virtual void LineLogged(const std::string& line) = 0;
  // The log display should show `log` now (before a message box).
  virtual void RefreshLog(const std::string& log) = 0;
  // Shows `text` (UTF-8) with an information icon and an OK button, and waits for it.
  virtual void ShowInformation(const std::string& text) = 0;
  // The compile error just logged lies at `fault` in the score. Not called for faults that
  // have no place (the file cannot be read or written, no note data, ...).
  virtual void FaultLocated(const FaultLocation& /*fault*/) {}
};

// The outcome of one file, as its log line tells it.
enum class CompileOutcome {
  kNotProcessed,  // the extension is neither ".MML" nor ".MUS"
  kOpenFailed,    // the source could not be opened or read
  kCompileError,  // a stage failed; the line carries its message
  kWriteFailed,   // the output could not be written
  kWritten,       // the ".MMF" was written
  kOutOfMemory,   // memory ran out; the line says so and the next file is compiled afresh
};

// What a written compile hands to the steps after it, such as a MIDI file of the score.
struct CompileProducts {
  std::string outputPath;                 // the ".MMF" written
  Bytes image;                            // its bytes as written
  std::vector<TempoChange> tempoChanges;  // the score's tempo from the start, in time order
  int scoreDelayTicks = 0;                // how far the score tracks start late (an A part)
  // The score's name of the part on each channel of the .MMF ("1" ... "16"; "" for none).
  std::array<std::string, kSequenceSlots> partNames;
};

// Compiles the score at `path` into a ".MMF" beside it and puts one line (UTF-8) in front
// of `log`. Only kNotProcessed corresponds to the job's "false" (nothing was done). Running
// out of memory is one more outcome with its own line: std::bad_alloc never leaves the job.
// When the file is written and `products` is given, it is filled.
CompileOutcome CompileFile(const std::string& path, const CompileOptions& options, std::string& log,
                           CompileServices& services, CompileProducts* products = nullptr);

#endif  // QUAVREX_JOB_COMPILE_JOB_H_
