#ifndef QUAVREX_TESTS_TEST_UTIL_H_
#define QUAVREX_TESTS_TEST_UTIL_H_

#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/seq_event.h"

// "4D 4D 4D 44 ..." : a readable form of bytes, so a failing comparison shows the difference.
std::string HexDump(const Bytes& bytes);
std::string HexDump(std::string_view bytes);

// Parses "4D 4D 4D 44" (blanks optional) into bytes; a test helper for annotated arrays.
Bytes FromHex(std::string_view hex);

// Reads a compiled .MMF back as "--verify" does and fails the running test, naming the first
// finding, unless the file is sound: whatever the compiler writes, its own reader must accept.
// Every place where the compile tests keep an .MMF written by the job or compiled in memory
// passes it through here.
void ExpectSoundMmf(const Bytes& image);

// An event made by hand from its fields.
SeqEvent MakeEvent(int64_t time, int type, EventParams params, int channel);

#endif  // QUAVREX_TESTS_TEST_UTIL_H_
