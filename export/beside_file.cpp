#include "export/beside_file.h"

#include "core/sjis.h"

namespace {

constexpr int kWriteAttempts = 3;
constexpr int kRetryWaitMs = 1000;

}  // namespace

std::string BesidePath(const std::string& path, const char* extension) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + extension;
}

std::string DisplayNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return FileNameForDisplay(slash == std::string::npos ? path : path.substr(slash + 1));
}

void LogLine(const std::string& line, std::string& log, CompileServices& services) {
  log.insert(0, line + "\r\n");
  services.LineLogged(line + "\r\n");
}

bool WriteWithRetries(const std::string& path, const Bytes& bytes, CompileServices& services) {
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    const WriteResult result = services.WriteWholeFile(path, bytes);
    if (result != WriteResult::kOpenFailed) {
      return result == WriteResult::kOk;
    }
    if (attempt < kWriteAttempts) {
      services.Sleep(kRetryWaitMs);
    }
  }
  return false;
}
