#ifndef QUAVREX_CLI_WATCH_H_
#define QUAVREX_CLI_WATCH_H_

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Compiles one score the way the command line does (log line, diagnostics, further outputs).
using CompileScore = std::function<void(const std::string& score)>;
// The files besides the score whose saving calls for a new compile (the waves it plays).
using FilesOfScore = std::function<std::vector<std::string>(const std::string& score)>;

// Watch mode: compiles every score once, then again each time it or one of its files is
// saved, until SIGINT or SIGTERM arrives; returns 0 then. The folders are watched with
// inotify rather than the files, so that a save that writes a new file and renames it over
// the old one is seen too. Saves that arrive together are compiled once, scores in the order
// given. Returns 1, after a message on `err`, when the notification cannot be set up.
int WatchScores(const std::vector<std::string>& scores, const CompileScore& compile,
                const FilesOfScore& filesOf, std::ostream& err);

#endif  // QUAVREX_CLI_WATCH_H_
