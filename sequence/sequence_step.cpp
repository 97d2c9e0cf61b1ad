#include "core/compiler.h"

bool CMmlCompiler::CompileSequenceStep(int slot, std::string& text, size_t& cursor,
                                       int64_t& time) {
  (void)slot;
  (void)time;
  cursor = text.size();
  return true;
}
