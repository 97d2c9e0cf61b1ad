#ifndef QUAVREX_FRONTEND_TEXT_FUNCTIONS_H_
#define QUAVREX_FRONTEND_TEXT_FUNCTIONS_H_

#include <cstddef>
#include <string>

// Returns a copy of `text` without its white space (space, tab, LF, CR). A white-space byte
// directly after a Shift-JIS lead byte stays, since it may be the second byte of a character.
std::string StripWhitespace(const std::string& text);

// Reads the unsigned decimal number at `cursor`. Returns its value and leaves the cursor on
// its last digit; returns -1 and leaves the cursor alone when no digit stands there. A value
// above 2147483647 gives 2147483647; callers range-check the result.
int ReadNumber(const std::string& text, size_t& cursor);

// Reads the number at `cursor` like ReadNumber and steps past it, so the cursor lands on the
// byte after the number; -1 and the cursor unchanged when no digit stands there.
int ReadArgument(const std::string& text, size_t& cursor);

#endif  // QUAVREX_FRONTEND_TEXT_FUNCTIONS_H_
