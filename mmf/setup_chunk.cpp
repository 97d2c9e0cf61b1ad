#include "core/compiler.h"

bool CMmlCompiler::BuildSetupChunk() { return true; }
