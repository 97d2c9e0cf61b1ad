#ifndef QUAVREX_JOB_FILE_SERVICES_H_
#define QUAVREX_JOB_FILE_SERVICES_H_

#include <unistd.h>

#include <cstdint>
#include <string>

#include "job/compile_job.h"

// The compile job's file and sleep services on a real file system. The three hooks that talk
// to people do nothing here; the command line and the dialog override them.
//
// Reading takes regular files only (after following links): a pipe would wait for a writer
// and a device may never end, so both fail at once like a file that cannot be opened.
//
// Writing never leaves a truncated output or a stray temporary file behind. The bytes go to an
// unnamed file in the target's folder (a named temporary where the file system has no unnamed
// files), which is put in the target's place only when it is complete. What a killed process
// left in the folder is swept before writing there (job/file_services_temporaries.h). A link is
// written through to the file it names. The replacement keeps the old file's permission bits, and
// its owner and group as far as the user may set them. A target the user could not open for writing
// is not replaced (kOpenFailed). Where no new file can be made in the folder, a writable target is
// rewritten in place, as nothing safer is possible there.
class FileCompileServices : public CompileServices {
 public:
  // Ignores SIGXFSZ for the process, so that a file-size limit makes a write fail (EFBIG)
  // instead of ending the program.
  FileCompileServices();

  bool ReadWholeFile(const std::string& path, std::string& bytes) override;
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override;
  void Sleep(int milliseconds) override;
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& /*text*/) override {}

 protected:
  // Seams for tests. Whether unnamed files are tried at all: false writes as on a file system
  // without them.
  virtual bool TriesUnnamedFiles() const { return true; }
  // Called whenever an output has a temporary name in the target's folder: a process killed
  // from here until the temporary takes the target's place leaves it behind.
  virtual void TemporaryNamed() {}
  // The system calls that put the bytes on disk: a test makes them fail part way.
  virtual ssize_t WriteSome(int fd, const uint8_t* data, size_t size) {
    return ::write(fd, data, size);
  }
  virtual int SyncFile(int fd) { return ::fsync(fd); }

 private:
  // Writes all of `data` to `fd` through WriteSome; false when a write fails.
  bool WriteAll(int fd, const Bytes& data);
};

#endif  // QUAVREX_JOB_FILE_SERVICES_H_
