#ifndef QUAVREX_EXPORT_MIDI_OUTPUT_H_
#define QUAVREX_EXPORT_MIDI_OUTPUT_H_

#include <string>

#include "job/compile_job.h"
#include "midi/midi_export.h"

// A Standard MIDI File beside a compiled score or an .MMF, made from the .MMF's
// bytes, written through the services (a temporary file renamed over the target) and
// reported in one log line (UTF-8) put in front of `log`. Each returns true when the whole
// file was carried; a file that could not be read, written, or had no notes, and a damaged
// .MMF of which only a part could be carried, give false.

// The .mid beside the score that `products` came from, with the score's tempo.
bool WriteMidiOfScore(const CompileProducts& products, std::string& log, CompileServices& services);

// The .mid beside the .MMF file at `path`: with the tempo of `score`, the score the file was
// compiled from, or at tempo 120 when it is null.
bool WriteMidiOfMmf(const std::string& path, std::string& log, CompileServices& services,
                    const ScoreTempo* score = nullptr);

// What the compile of `products` knew about the score's time.
ScoreTempo ScoreTempoOf(const CompileProducts& products);

#endif  // QUAVREX_EXPORT_MIDI_OUTPUT_H_
