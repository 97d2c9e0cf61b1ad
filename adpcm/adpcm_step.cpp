#include "core/compiler.h"

bool CMmlCompiler::CompileAdpcmStep(std::string& text, size_t& cursor, int64_t& time) {
  (void)text;
  (void)time;
  cursor = text.size();
  return true;
}

bool CMmlCompiler::AdpcmTieLookAhead(std::string& text, size_t position, int wave,
                                     int64_t& extra) {
  (void)text;
  (void)position;
  (void)wave;
  (void)extra;
  return true;
}
