// quavrexc: compiles MML scores into .MMF files from the command line.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace {

// A closed standard stream would let the next file opened take its number, and the log would
// go into that file. /dev/null opened for reading holds the number and refuses writes, so a
// log that cannot be printed is still noticed and reported.
void HoldClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      ::open("/dev/null", O_RDONLY);  // the lowest free number: this one
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  HoldClosedStandardStreams();
  std::vector<std::string> args(argv + 1, argv + argc);
  const Terminals terminals{::isatty(STDOUT_FILENO) == 1, ::isatty(STDERR_FILENO) == 1};
  return RunCommandLine(args, std::cout, std::cerr, terminals);
}
