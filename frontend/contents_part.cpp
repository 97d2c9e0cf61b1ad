#include "core/compiler.h"

bool CMmlCompiler::ParseContents(const std::string& text) {
  (void)text;
  m_contentsOptions.clear();
  return true;
}
