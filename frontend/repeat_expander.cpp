#include "core/compiler.h"

std::string CMmlCompiler::ExpandRepeats(std::string& text) {
  (void)text;
  return std::string();
}
