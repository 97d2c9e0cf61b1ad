#include "core/compiler.h"

bool CMmlCompiler::BeginTuplet(int slot, const std::string& text, size_t start) {
  (void)slot;
  (void)text;
  (void)start;
  return true;
}
