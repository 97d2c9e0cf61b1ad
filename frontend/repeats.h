#ifndef QUAVREX_FRONTEND_REPEATS_H_
#define QUAVREX_FRONTEND_REPEATS_H_

#include <cstddef>
#include <string>

// Traces byte `offset` of the expansion of a part text back to the byte of `text` (the part
// text before expansion) that it is a copy of. npos when `text` does not expand, or expands
// in more steps than are kept for tracing; the expansion itself is CMmlCompiler::ExpandRepeats.
size_t RepeatOrigin(std::string text, size_t offset);

#endif  // QUAVREX_FRONTEND_REPEATS_H_
