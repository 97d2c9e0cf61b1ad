#include "core/compiler.h"

bool CMmlCompiler::CompilePortamento(int slot, std::string& text, size_t& cursor, int64_t& time) {
  (void)text;
  (void)cursor;
  (void)time;
  return FailPart(slot, "パート ポルタメントの指定が正しくありません。");
}
