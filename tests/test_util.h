#ifndef QUAVREX_TESTS_TEST_UTIL_H_
#define QUAVREX_TESTS_TEST_UTIL_H_

#include <string>
#include <string_view>

#include "core/bytes.h"

// "4D 4D 4D 44 ..." : a readable form of bytes, so a failing comparison shows the difference.
std::string HexDump(const Bytes& bytes);
std::string HexDump(std::string_view bytes);

// Parses "4D 4D 4D 44" (blanks optional) into bytes; a test helper for annotated arrays.
Bytes FromHex(std::string_view hex);

#endif  // QUAVREX_TESTS_TEST_UTIL_H_
