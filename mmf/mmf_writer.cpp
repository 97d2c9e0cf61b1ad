#include "core/compiler.h"

bool CMmlCompiler::BuildMmf(Bytes& image, const std::string& /*sourcePath*/) {
  image.clear();
  return false;
}
