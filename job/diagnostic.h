#ifndef QUAVREX_JOB_DIAGNOSTIC_H_
#define QUAVREX_JOB_DIAGNOSTIC_H_

#include <string>

#include "job/compile_job.h"

// A compile error's place in the form that compilers print and that editors jump to:
//   path:line:column: error: message
//    source line
//    ^
// The caret line keeps the source line's tabs and gives wide (East Asian) characters two
// cells, so that the caret stands under the column in a terminal. Ends in "\n".
std::string FormatDiagnostic(const FaultLocation& fault);

#endif  // QUAVREX_JOB_DIAGNOSTIC_H_
