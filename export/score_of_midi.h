#ifndef QUAVREX_EXPORT_SCORE_OF_MIDI_H_
#define QUAVREX_EXPORT_SCORE_OF_MIDI_H_

#include <string>

#include "job/compile_job.h"

// True when `path` names a MIDI file: it ends in ".mid" or ".midi", in any case.
bool IsMidiPath(const std::string& path);

// The score beside the MIDI file at `path`: the same name ending in ".mml".
std::string ScorePathOfMidi(const std::string& path);

// Converts the MIDI file at `path` into the score beside it (Shift-JIS, CRLF), written through
// the services, and puts one log line (UTF-8) in front of `log`: written, written with notes
// left out (how many of how many), not replaced because the score exists, or the file's fault
// with its byte offset. A score that exists is replaced only when `force` is set, so hand
// edits are never lost to a second conversion. True when the score was written; the caller
// then compiles it as any dropped score.
bool WriteScoreOfMidi(const std::string& path, bool ma2, bool force, std::string& log,
                      CompileServices& services);

// True when the .mid that a MIDI export of `mmfPath` writes would be `sourceMidi` itself, which
// is then kept: its line says so.
bool KeepSourceMidi(const std::string& mmfPath, const std::string& sourceMidi, std::string& log,
                    CompileServices& services);

#endif  // QUAVREX_EXPORT_SCORE_OF_MIDI_H_
