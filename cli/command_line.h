#ifndef QUAVREX_CLI_COMMAND_LINE_H_
#define QUAVREX_CLI_COMMAND_LINE_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/mmf_commands.h"
#include "job/compile_job.h"

// What the command line asks for.
struct CommandLine {
  enum class Action { kCompile, kHelp, kVersion, kUsageError };
  Action action = Action::kCompile;
  CompileOptions options;                     // the dialog's first-start options unless changed
  std::vector<std::string> files;             // scores in the order given
  std::string error;                          // what is wrong, for kUsageError
  MmfCommand mmfCommand = MmfCommand::kDump;  // what .MMF files get (--dump, --json, --verify)
  bool watch = false;                         // compile again on every save until interrupted
  bool wav = false;                           // also write a WAVE file beside each .MMF
  bool stems = false;                         // and one per part that sounds
  int rate = 44100;                           // its sample rate
  bool midi = false;                          // also write a Standard MIDI File beside each
  bool force = false;                         // a MIDI file's score replaces one that exists
};

// Reads the arguments after the program name:
//   [--ma1 | --ma2] [--octave-check] [--voice-setup] [--no-ezget]
//   [--encoding auto|sjis|utf-8] [--watch] [--dump | --json | --verify]
//   [--wav [--rate N] [--stems]] [--midi] [--force] FILE...
// Options may stand anywhere before "--"; everything after "--", and every argument that
// does not start with "-" (a lone "-" included), is a file. "--help" and "--version" win over
// the rest. "--encoding" takes its value as the next argument or after "="; "--rate" takes the
// next argument, 8000-192000. Unknown options, encodings or rates, both formats, or no file at
// all are usage errors, and so is "--stems" without "--wav". With "--wav" an .MMF given as FILE
// is rendered to its .wav instead of listed, and with "--midi" it gets its .mid instead of its
// listing. A MIDI file (".mid", ".midi") becomes the score beside it, which is then compiled;
// "--force" lets it replace a score that exists.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Which of the two streams show on a terminal: control characters in what goes there are
// shown escaped (\xNN), so that no file name or score byte splits a line or commands the
// terminal. Elsewhere the bytes pass unchanged.
struct Terminals {
  bool out = false;
  bool err = false;
};

// Runs the command line: compiles every file in order like a dropped file, printing each log
// line to `out` as it is made (without its "\r"), and each range report and each compile
// error's place in the score to `err` after its line. An .MMF file is read instead and gets
// its listing, JSON form or verify line. Returns the exit status: 0 when every score was
// written and every .MMF is sound, 1 otherwise or when `out` could not be written (said on
// `err`), 2 for a usage error. With "--watch" it goes on compiling saved scores until SIGINT
// or SIGTERM and returns 0 (see cli/watch.h).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals = {});

#endif  // QUAVREX_CLI_COMMAND_LINE_H_
