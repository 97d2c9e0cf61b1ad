// quavrexc: compiles MML scores into .MMF files from the command line.

#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunCommandLine(args, std::cout, std::cerr);
}
