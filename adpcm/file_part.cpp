#include "core/compiler.h"

bool CMmlCompiler::ParseAdpcmFiles(const std::string& text) { return text.empty(); }
