#include "cli/command_line.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>

#include "cli/watch.h"
#include "export/midi_output.h"
#include "export/score_of_midi.h"
#include "export/wav_output.h"
#include "job/diagnostic.h"
#include "job/file_services.h"
#include "job/log_text.h"
#include "job/score_waves.h"

namespace {

constexpr const char* kUsage =
    "Usage: quavrexc [--ma1 | --ma2] [--octave-check] [--voice-setup] [--no-ezget]\n"
    "                [--encoding auto|sjis|utf-8] [--watch] [--wav [--rate N] [--stems]]\n"
    "                [--midi] [--force] FILE...\n"
    "       quavrexc [--dump | --json | --verify] FILE.MMF...\n"
    "       quavrexc [--wav [--rate N] [--stems]] [--midi] FILE.MMF...\n";

constexpr const char* kHelp =
    "Compiles MML scores (.mml, .mus) into .MMF ring tones. Each FILE is compiled in turn and\n"
    "its .MMF is written beside it; one log line per file is printed, and a compile error's\n"
    "place in the score follows it on standard error as path:line:column: error: ...\n"
    "A FILE ending in .MMF is read instead and listed (the default, or --dump), given as JSON\n"
    "(--json) or checked (--verify). A FILE ending in .mid or .midi (a MIDI file) becomes a\n"
    "score FILE.mml beside it, which is then compiled; a score that exists is kept.\n"
    "\n"
    "  --ma1           4-voice MA1 output (the default)\n"
    "  --ma2           16-voice MA2 output\n"
    "  --octave-check  report MA1 notes beyond the octave range of their voice\n"
    "  --voice-setup   write the voice definitions into MA1 output\n"
    "  --no-ezget      end the file with its CRC, without the EzGet bytes 1D 0F\n"
    "  --encoding E    read the scores as E: auto (the default), sjis or utf-8. auto\n"
    "                  reads a score as UTF-8 when it has a byte order mark, or is valid\n"
    "                  UTF-8 with a character of three or four bytes (Japanese text, emoji),\n"
    "                  or is valid UTF-8 of two-byte characters that Shift-JIS can hold;\n"
    "                  otherwise as Shift-JIS. A character of a score read as UTF-8 that\n"
    "                  Shift-JIS lacks is reported with its line and column\n"
    "  --watch         compile again each time a score, or a wave file it plays, is saved,\n"
    "                  until Ctrl-C or SIGTERM (exit status 0)\n"
    "  --dump          list each .MMF file read: chunks, contents, voices, events, waves\n"
    "  --json          the same listing as JSON\n"
    "  --verify        one line per .MMF file: sound, or its first fault\n"
    "  --wav           also write the tune as FILE.wav (16-bit mono) beside the .MMF;\n"
    "                  an .MMF given as FILE is rendered to its .wav\n"
    "  --rate N        sample rate of the .wav in Hz (8000-192000, default 44100)\n"
    "  --stems         with --wav, also one .wav per part that sounds, as long as the\n"
    "                  tune: FILE.part01.wav ... FILE.part16.wav, FILE.partA.wav for the\n"
    "                  audio track; mixed, they give FILE.wav\n"
    "  --midi          also write a Standard MIDI File (.mid) beside each score's .MMF;\n"
    "                  an .MMF given as FILE gets its .mid\n"
    "  --force         let the score made from a MIDI file replace one that exists\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was processed correctly (every .MMF read is sound),\n"
    "1 when any was not or when the output could not be printed,\n"
    "2 for a usage error.\n";

// --dump, --json and --verify choose what .MMF files get; false for any other argument.
bool ReadMmfOption(const std::string& arg, CommandLine& line) {
  if (arg == "--dump") {
    line.mmfCommand = MmfCommand::kDump;
  } else if (arg == "--json") {
    line.mmfCommand = MmfCommand::kJson;
  } else if (arg == "--verify") {
    line.mmfCommand = MmfCommand::kVerify;
  } else {
    return false;
  }
  return true;
}

CommandLine UsageError(std::string message) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  line.error = std::move(message);
  return line;
}

// Reads the sample rate that follows "--rate" at args[at]: digits only, 8000-192000.
bool ReadRate(const std::vector<std::string>& args, size_t at, int& rate) {
  constexpr int kMinRate = 8000;
  constexpr int kMaxRate = 192000;
  if (at >= args.size() || args[at].empty() || args[at].size() > 6) {
    return false;
  }
  int value = 0;
  for (char c : args[at]) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  rate = value;
  return value >= kMinRate && value <= kMaxRate;
}

// Text of a log line or report as a terminal shows it: "\r\n" becomes "\n".
std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') {
      out += c;
    }
  }
  return out;
}

// Says on `err` that standard output lost text, with the system's reason, as GNU tools do.
void ReportWriteError(std::ostream& err, int error) {
  err << "quavrexc: write error";
  if (error != 0) {
    err << ": " << std::strerror(error);
  }
  err << '\n' << std::flush;
}

// Flushes text that is all the output (help, version); 1 and a message when it was lost.
int Flushed(std::ostream& out, std::ostream& err) {
  if (out.flush()) {
    return 0;
  }
  ReportWriteError(err, errno);
  return 1;
}

// Text for a stream: escaped when a terminal shows it, then with "\n" line ends.
std::string ForStream(const std::string& text, bool terminal) {
  return WithoutCarriageReturns(terminal ? EscapeControlCharacters(text) : text);
}

// Real files; log lines and range reports go to the two streams as they are made. The job's
// log is not kept: nobody reads it here, and putting every line in front of it would make a
// long batch take time that grows with the square of its length.
class ConsoleServices : public FileCompileServices {
 public:
  ConsoleServices(std::ostream& out, std::ostream& err, Terminals terminals)
      : out_(out), err_(err), terminals_(terminals) {}
  void LineLogged(const std::string& line) override {
    out_ << ForStream(line, terminals_.out) << std::flush;
    NoteWriteError();
  }
  void ShowInformation(const std::string& text) override {
    err_ << ForStream(text, terminals_.err) << '\n' << std::flush;
  }
  // After the last line: false, and one message on `err`, when `out` lost any of the log.
  bool Finish() {
    out_.flush();
    NoteWriteError();
    if (outFailed_) {
      ReportWriteError(err_, outErrno_);
    }
    return !outFailed_;
  }
  void FaultLocated(const FaultLocation& fault) override {
    err_ << FormatDiagnostic(fault) << std::flush;
  }

 private:
  // Keeps the system's reason for the first failed write of the log.
  void NoteWriteError() {
    if (!out_ && !outFailed_) {
      outFailed_ = true;
      outErrno_ = errno;
    }
  }

  std::ostream& out_;
  std::ostream& err_;
  Terminals terminals_;
  bool outFailed_ = false;
  int outErrno_ = 0;
};

// The value of "--encoding"; false for a name it does not know.
bool ReadEncoding(const std::string& name, ScoreEncoding& encoding) {
  if (name == "auto") {
    encoding = ScoreEncoding::kAuto;
  } else if (name == "sjis") {
    encoding = ScoreEncoding::kShiftJis;
  } else if (name == "utf-8") {
    encoding = ScoreEncoding::kUtf8;
  } else {
    return false;
  }
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool ma1 = false;
  bool ma2 = false;
  bool optionsEnded = false;
  // The first option not understood; reported after the scan, so that help and version win.
  std::string unknown;
  std::string badValue;  // the first option with a missing or unknown value
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      line.action = CommandLine::Action::kHelp;
      return line;
    } else if (arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    } else if (arg == "--ma1") {
      ma1 = true;
    } else if (arg == "--ma2") {
      ma2 = true;
    } else if (arg == "--octave-check") {
      line.options.octaveCheck = true;
    } else if (arg == "--voice-setup") {
      line.options.voiceSetup = 1;
    } else if (arg == "--no-ezget") {
      line.options.ezgetTrailer = false;
    } else if (ReadMmfOption(arg, line)) {
      // one of --dump, --json, --verify
    } else if (arg == "--midi") {
      line.midi = true;
    } else if (arg == "--force") {
      line.force = true;
    } else if (arg == "--watch") {
      line.watch = true;
    } else if (arg == "--encoding" || arg.starts_with("--encoding=")) {
      // The value follows as the next argument or after "=".
      const bool joined = arg.size() > 10;
      const std::string value = joined ? arg.substr(11) : k + 1 < args.size() ? args[++k] : "";
      if (!ReadEncoding(value, line.options.encoding) && badValue.empty()) {
        badValue = "--encoding takes auto, sjis or utf-8, not '" + value + "'";
      }
    } else if (arg == "--wav") {
      line.wav = true;
    } else if (arg == "--stems") {
      line.stems = true;
    } else if (arg == "--rate") {
      if (!ReadRate(args, ++k, line.rate) && badValue.empty()) {
        badValue = "--rate needs a sample rate of 8000-192000 Hz";
      }
    } else if (unknown.empty()) {
      unknown = arg;
    }
  }
  if (!unknown.empty()) {
    return UsageError("unknown option '" + unknown + "'");
  }
  if (!badValue.empty()) {
    return UsageError(badValue);
  }
  if (line.stems && !line.wav) {
    return UsageError("--stems needs --wav");
  }
  if (ma1 && ma2) {
    return UsageError("--ma1 and --ma2 cannot be given together");
  }
  if (line.files.empty()) {
    return UsageError("no score file given");
  }
  line.options.ma2 = ma2;
  return line;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals) {
  CommandLine line = ParseCommandLine(args);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      out << kUsage << kHelp;
      return Flushed(out, err);
    case CommandLine::Action::kVersion:
      out << "quavrexc " << QUAVREX_VERSION << '\n';
      return Flushed(out, err);
    case CommandLine::Action::kUsageError:
      err << "quavrexc: " << line.error << '\n' << kUsage << "Try 'quavrexc --help'.\n";
      return 2;
    case CommandLine::Action::kCompile:
      break;
  }
  ConsoleServices services(out, err, terminals);
  std::string log;
  RenderOptions wavOptions;
  wavOptions.rate = line.rate;
  // Scores made from MIDI files, and the MIDI file each came from.
  std::map<std::string, std::string> sourceOf;
  auto compile = [&](const std::string& file) {
    log.clear();  // only the lines as they are made are shown
    CompileProducts products;
    CompileProducts* wanted = line.midi || line.wav ? &products : nullptr;
    const bool written =
        CompileFile(file, line.options, log, services, wanted) == CompileOutcome::kWritten;
    // With --wav every tune written is rendered beside its .MMF, also on each save when watching;
    // with --midi its MIDI file is made from it, unless that is the MIDI file the score came
    // from.
    bool done = written && (!line.wav || WriteWavOfMmf(products.outputPath, wavOptions, log,
                                                       services, line.stems, &products.partNames));
    const auto source = sourceOf.find(file);
    if (done && line.midi && source != sourceOf.end() &&
        KeepSourceMidi(products.outputPath, source->second, log, services)) {
      return true;
    }
    return done && (!line.midi || WriteMidiOfScore(products, log, services));
  };
  // A MIDI file becomes its score first; false when none was written.
  auto convert = [&](const std::string& file) {
    log.clear();
    if (!WriteScoreOfMidi(file, line.options.ma2, line.force, log, services)) {
      return false;
    }
    sourceOf[ScorePathOfMidi(file)] = file;
    return true;
  };
  if (line.watch) {
    // A MIDI file's score is watched once written, or when it was there already.
    std::vector<std::string> scores;
    for (const std::string& file : line.files) {
      const std::string score = IsMidiPath(file) ? ScorePathOfMidi(file) : file;
      if (score == file) {
        scores.push_back(score);
      } else if (convert(file) || std::filesystem::exists(score)) {
        sourceOf[score] = file;
        scores.push_back(score);
      }
    }
    return WatchScores(
        scores, compile,
        [&](const std::string& file) { return WaveFilesOfScore(file, line.options, services); },
        err);
  }
  bool allWritten = true;
  for (const std::string& file : line.files) {
    if (IsMidiPath(file)) {
      allWritten = convert(file) && compile(ScorePathOfMidi(file)) && allWritten;
      continue;
    }
    if (IsMmfPath(file)) {
      log.clear();
      bool done = line.wav || line.midi ? true : RunMmfCommand(line.mmfCommand, file, out, err);
      done = (!line.wav || WriteWavOfMmf(file, wavOptions, log, services, line.stems)) && done;
      done = (!line.midi || WriteMidiOfMmf(file, log, services)) && done;
      allWritten = done && allWritten;
      continue;
    }
    allWritten = compile(file) && allWritten;
  }
  return services.Finish() && allWritten ? 0 : 1;
}
