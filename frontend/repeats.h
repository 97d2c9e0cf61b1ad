#ifndef QUAVREX_FRONTEND_REPEATS_H_
#define QUAVREX_FRONTEND_REPEATS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/fault_place.h"

// Expands the repeat marks of one part text in place; returns an empty text on success,
// otherwise the message (Shift-JIS, without the part label) with its place in `place` (the
// block left empty for the caller). The text may grow to `limit` bytes.
std::string ExpandRepeats(std::string& text, uint64_t limit, FaultPlace& place);

// Traces byte `offset` of the expansion of a part text back to the byte of `text` (the part
// text before expansion) that it is a copy of. npos when `text` does not expand, or expands
// in more steps than are kept for tracing.
size_t RepeatOrigin(std::string text, size_t offset);

#endif  // QUAVREX_FRONTEND_REPEATS_H_
