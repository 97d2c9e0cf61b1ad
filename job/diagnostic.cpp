#include "job/diagnostic.h"

#include "core/utf8.h"

namespace {

// True for the characters that terminals draw two cells wide: the East Asian wide and
// full-width blocks (the half-width katakana stay narrow) and the emoji planes.
bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
         (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

// Blanks that reach the column'th character of `line` on a terminal.
std::string CaretIndent(const std::string& line, int column) {
  std::string indent;
  size_t pos = 0;
  for (int k = 1; k < column && pos < line.size(); ++k) {
    const Utf8Char c = DecodeUtf8(line, pos);
    if (c.length == 0) {
      indent += ' ';  // cannot happen: the line text was made printable
      ++pos;
      continue;
    }
    indent += c.code == '\t' ? "\t" : IsWide(c.code) ? "  " : " ";
    pos += c.length;
  }
  return indent;
}

}  // namespace

std::string FormatDiagnostic(const FaultLocation& fault) {
  const SourcePosition& at = fault.position;
  return fault.path + ':' + std::to_string(at.line) + ':' + std::to_string(at.column) +
         ": error: " + fault.message + "\n " + at.lineText + "\n " +
         CaretIndent(at.lineText, at.column) + "^\n";
}
