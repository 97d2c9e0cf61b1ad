#include "core/compiler.h"

bool CMmlCompiler::ParseVoiceDefinitions(const std::string& text) { return text.empty(); }
