#include "core/compiler.h"

bool CMmlCompiler::ScanAdpcmTuplet(const std::string& text, size_t pos) {
  (void)text;
  (void)pos;
  return true;
}
