#ifndef QUAVREX_EXPORT_BESIDE_FILE_H_
#define QUAVREX_EXPORT_BESIDE_FILE_H_

#include <string>

#include "core/bytes.h"
#include "job/compile_job.h"

// What the writers of files beside an .MMF share: the path and shown name of such a file, the
// log line that reports it, and the write with the .MMF's retries.

// The file beside `path` with the extension `extension` (".mid"): `path` up to the last "." of
// its name (all of it when the name has none), then `extension`.
std::string BesidePath(const std::string& path, const char* extension);

// The name a log line shows for `path`: the part after its last "/", made readable.
std::string DisplayNameOf(const std::string& path);

// Puts `line` (UTF-8, without its end) in front of `log` and hands it to the services.
void LogLine(const std::string& line, std::string& log, CompileServices& services);

// Like the .MMF: up to three attempts to open the target a second apart, a failed write is
// final. True when `bytes` were written whole.
bool WriteWithRetries(const std::string& path, const Bytes& bytes, CompileServices& services);

#endif  // QUAVREX_EXPORT_BESIDE_FILE_H_
