#ifndef QUAVREX_FRONTEND_CONTENTS_PART_H_
#define QUAVREX_FRONTEND_CONTENTS_PART_H_

#include <string>

#include "core/bytes.h"
#include "core/compile_fault.h"

// Checks the joined contents blocks and returns the option bytes of the contents-info chunk.
// A fault is placed in the joined text (FaultText::kJoined of block "C").
StageResult<Bytes> ParseContents(const std::string& text);

#endif  // QUAVREX_FRONTEND_CONTENTS_PART_H_
