#ifndef QUAVREX_CORE_TEXT_FUNCTIONS_H_
#define QUAVREX_CORE_TEXT_FUNCTIONS_H_

#include <climits>
#include <cstddef>
#include <string>

// Returns a copy of `text` without its white space (space, tab, LF, CR). A white-space byte
// directly after a Shift-JIS lead byte stays, since it may be the second byte of a character.
std::string StripWhitespace(const std::string& text);

// Reads the unsigned decimal number at `cursor`. Returns its value and leaves the cursor on
// its last digit; returns -1 and leaves the cursor alone when no digit stands there. A value
// above 2147483647 gives 2147483647; callers range-check the result.
// Every command argument and note length is read with it, so it is inline.
inline int ReadNumber(const std::string& text, size_t& cursor) {
  size_t pos = cursor;
  long long value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    if (value > INT_MAX) {
      value = INT_MAX;
    }
    ++pos;
  }
  if (pos == cursor) {
    return -1;
  }
  cursor = pos - 1;
  return static_cast<int>(value);
}

// Reads the number at `cursor` like ReadNumber and steps past it, so the cursor lands on the
// byte after the number; -1 and the cursor unchanged when no digit stands there.
inline int ReadArgument(const std::string& text, size_t& cursor) {
  const int n = ReadNumber(text, cursor);
  if (n >= 0) {
    ++cursor;
  }
  return n;
}

#endif  // QUAVREX_CORE_TEXT_FUNCTIONS_H_
