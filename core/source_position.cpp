#include "core/source_position.h"

#include <algorithm>
#include <cstdint>

#include "core/sjis.h"
#include "core/utf8.h"

namespace {

// Lead bytes of CP932, user-defined rows 0xF0-0xFC included: the compiler's own lead-byte
// test leaves those out, but people see them as one character.
bool IsCp932Lead(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }

size_t SjisCharLength(std::string_view text, size_t pos) {
  return IsCp932Lead(static_cast<uint8_t>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

size_t Utf8CharLength(std::string_view text, size_t pos) {
  return std::max<size_t>(DecodeUtf8(text, pos).length, 1);
}

// Counts lines and characters up to `offset`; `first` skips a byte order mark. A line ends
// after "\n", so "\r\n" and "\n" both end one.
template <typename CharLength>
SourcePosition Locate(std::string_view text, size_t first, size_t offset, CharLength charLength,
                      size_t& lineStart) {
  SourcePosition where{1, 1, {}};
  lineStart = first;
  offset = std::min(offset, text.size());
  for (size_t pos = first; pos < offset;) {
    const size_t length = charLength(text, pos);
    if (pos + length > offset) {
      break;  // the offset falls inside this character
    }
    if (text[pos] == '\n') {
      ++where.line;
      where.column = 1;
      lineStart = pos + 1;
    } else {
      ++where.column;
    }
    pos += length;
  }
  return where;
}

// The line that starts at `lineStart`, without "\r\n" or "\n".
std::string_view LineFrom(std::string_view text, size_t lineStart) {
  std::string_view line = text.substr(lineStart);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return line;
}

}  // namespace

SourcePosition PositionInSjis(std::string_view text, size_t offset) {
  size_t lineStart = 0;
  SourcePosition where = Locate(text, 0, offset, SjisCharLength, lineStart);
  where.lineText = SjisToUtf8(LineFrom(text, lineStart));
  return where;
}

SourcePosition PositionInUtf8(std::string_view text, size_t offset) {
  const size_t first = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  size_t lineStart = 0;
  SourcePosition where = Locate(text, first, offset, Utf8CharLength, lineStart);
  where.lineText = PrintableUtf8(LineFrom(text, lineStart));
  return where;
}
