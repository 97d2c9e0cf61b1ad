#ifndef QUAVREX_JOB_FAULT_LOCATOR_H_
#define QUAVREX_JOB_FAULT_LOCATOR_H_

#include <cstddef>
#include <string>

#include "core/fault_place.h"

// Where in `score` (the Shift-JIS text the compile was given) a compile fault's `place` lies,
// as a byte offset; npos when the message has no place. The stage that failed named the place
// in the text it worked on (core/fault_place.h); this traces it back through the repeat
// expansion, the removal of white space and the joining of the blocks, all recomputed here,
// so that a compile keeps nothing but the block pieces.
size_t LocateFault(const FaultPlace& place, const std::string& score);

#endif  // QUAVREX_JOB_FAULT_LOCATOR_H_
