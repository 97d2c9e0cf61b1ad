#include "core/compiler.h"

bool CMmlCompiler::CompileParts() { return BuildSetupChunk(); }

bool CMmlCompiler::ScanTempo(const std::string& text, size_t start) {
  (void)text;
  (void)start;
  return true;
}
