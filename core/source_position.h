#ifndef QUAVREX_CORE_SOURCE_POSITION_H_
#define QUAVREX_CORE_SOURCE_POSITION_H_

#include <cstddef>
#include <string>
#include <string_view>

// A place in a score as people and editors count it: line and column from 1, the column in
// characters of the line (a double-byte character or a tab is one).
struct SourcePosition {
  int line = 0;  // 0: the place is unknown
  int column = 0;
  std::string lineText;  // the whole line, UTF-8, without its line break
};

// Where byte `offset` of a Shift-JIS score stands. An offset inside a double-byte character
// counts as that character; one at or past the end is placed after the last character.
SourcePosition PositionInSjis(std::string_view text, size_t offset);

// The same for a UTF-8 score; a byte order mark at its start is not a character of the line,
// and a byte that does not start a character counts as one.
SourcePosition PositionInUtf8(std::string_view text, size_t offset);

#endif  // QUAVREX_CORE_SOURCE_POSITION_H_
