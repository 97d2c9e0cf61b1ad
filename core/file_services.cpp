#include "core/file_services.h"

bool FileCompileServices::ReadWholeFile(const std::string& /*path*/, std::string& /*bytes*/) {
  return false;
}

WriteResult FileCompileServices::WriteWholeFile(const std::string& /*path*/,
                                                const Bytes& /*data*/) {
  return WriteResult::kOpenFailed;
}

void FileCompileServices::Sleep(int /*milliseconds*/) {}
