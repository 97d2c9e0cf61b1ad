#ifndef QUAVREX_JOB_FILE_SERVICES_H_
#define QUAVREX_JOB_FILE_SERVICES_H_

#include <string>

#include "job/compile_job.h"

// The compile job's file and sleep services on a real file system. The output is written to
// a temporary file in the target's folder and renamed over the target. The three hooks that
// talk to people do nothing here; the command line and the dialog override them.
class FileCompileServices : public CompileServices {
 public:
  bool ReadWholeFile(const std::string& path, std::string& bytes) override;
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override;
  void Sleep(int milliseconds) override;
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& /*text*/) override {}
};

#endif  // QUAVREX_JOB_FILE_SERVICES_H_
