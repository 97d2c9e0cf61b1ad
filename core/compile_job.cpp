#include "core/compile_job.h"

CompileOutcome CompileFile(const std::string& /*path*/, const CompileOptions& /*options*/,
                           std::string& /*log*/, CompileServices& /*services*/) {
  return CompileOutcome::kNotProcessed;
}
