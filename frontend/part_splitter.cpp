#include "core/compiler.h"

#include <utility>

bool CMmlCompiler::SplitParts(std::string source) {
  (void)source;
  ResetEventSerial();
  return true;
}
