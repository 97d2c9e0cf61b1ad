#ifndef QUAVREX_SEQUENCE_GLIDE_CHAIN_H_
#define QUAVREX_SEQUENCE_GLIDE_CHAIN_H_

#include <string>

#include "core/glide_chain.h"

// The chain written out as part text, as in "C*6&@K~4C*8& ... @K0E*6" (for tests and traces).
std::string GlideChainText(const GlideChain& chain);

#endif  // QUAVREX_SEQUENCE_GLIDE_CHAIN_H_
