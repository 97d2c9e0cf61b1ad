#ifndef QUAVREX_WEB_WEB_SESSION_H_
#define QUAVREX_WEB_WEB_SESSION_H_

// What the page asks of the compiler, the reader and the renderer, on bytes in memory. Each
// call runs the very functions the programs run (the compile job, the listings, the exports
// beside an .MMF), through services that hand them the bytes and keep what they write, so the
// page gives the same bytes and log lines as the command line. Natively built too, for tests.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "job/compile_job.h"

struct WebCompileRequest {
  std::string name;   // the score's file name (UTF-8), as the log line shows it
  std::string score;  // its bytes, Shift-JIS or UTF-8
  CompileOptions options;
  // The wave files the score plays, by the names its file list gives them.
  std::vector<std::pair<std::string, std::string>> waves;
};

// A compile error's place: line and column from 1 (the column in characters), and the
// message (UTF-8).
struct WebDiagnostic {
  int line = 0;
  int column = 0;
  std::string message;
};

struct WebCompileResult {
  std::string log;  // the file's log line (UTF-8) without its line break
  std::vector<WebDiagnostic> diagnostics;
  std::string rangeReport;  // the MA1 octave-range report as the dialog shows it, "" for none
  bool written = false;     // `mmf` holds the .MMF
  Bytes mmf;
  // The score's name of the part on each channel of the .MMF ("" for none), when written: the
  // compiler gives parts their channels, so channel n need not play part n.
  std::array<std::string, kSequenceSlots> channelParts;
};

// Compiles the score as the dialog compiles a dropped file of that name. The waves are put
// as files in `folder` (emptied first), where the score's file list finds them beside it.
WebCompileResult CompileScore(const WebCompileRequest& request, const std::string& folder);

// The listing (--dump) and the JSON (--json) of an .MMF's bytes, `name` heading them.
std::string DumpMmf(const Bytes& mmf, const std::string& name);
std::string JsonOfMmf(const Bytes& mmf, const std::string& name);

// A file made from an .MMF: the bytes (empty when none was made) and its log line (UTF-8,
// without its line break), as "--midi" and "--wav" make and report them.
struct WebExport {
  Bytes bytes;
  std::string log;
};
WebExport MidiOfMmf(const Bytes& mmf);
WebExport WavOfMmf(const Bytes& mmf, int rate);

// The tune rendered as --wav renders it, with the parts `mutedParts` names left out of the mix:
// "1"-"16" for the .MMF's channels as the listing numbers them, "A" for the audio track; other
// names are ignored. With parts muted the quiet end is kept (a stem's length), so every choice
// of muted parts gives as many samples, at least as many as the whole tune.
struct WebRender {
  std::vector<float> samples;  // mono, -1 to 1, at the rate asked
  std::string error;           // UTF-8, when nothing was rendered
};
WebRender RenderMmfAudio(const Bytes& mmf, int rate, const std::vector<std::string>& mutedParts);

// The length of the tune in seconds, release tails left out; -1 when the bytes are no .MMF
// that can be played.
double DurationOfMmf(const Bytes& mmf);

// The notes of the .MMF's channels, for a piano roll, as a JSON array (UTF-8) of
//   {"part": 1-16, "startSec", "endSec", "pitch": MIDI key (fractional for a frequency-mode
//    note), "glide": [[sec, pitch], ...] for a frequency-mode note whose pitch moves, or null}
// A frequency-mode note lasts from its key-on to its key-off (or the next key-on); its glide
// starts with its first pitch. The audio track's waves are no notes.
std::string NotesOfMmf(const Bytes& mmf);

// A MIDI file made into a score as the dialog does it for a dropped file of that name: the
// score's bytes (Shift-JIS; empty when none was made) and the conversion's log line.
struct WebScore {
  std::string score;
  std::string log;
};
WebScore ScoreOfMidi(const Bytes& midi, const std::string& name, bool ma2,
                     const std::string& folder);

#endif  // QUAVREX_WEB_WEB_SESSION_H_
