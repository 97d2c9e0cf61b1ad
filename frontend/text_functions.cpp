#include "frontend/text_functions.h"

#include <climits>

#include "core/bytes.h"
#include "core/sjis.h"

namespace {

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string StripWhitespace(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    // The byte before a white-space byte is the last byte kept, since removed bytes are
    // never lead bytes.
    if (IsWhitespace(c) && !(!out.empty() && IsLeadByte(out.back()))) {
      continue;
    }
    out.push_back(c);
  }
  return out;
}

int ReadNumber(const std::string& text, size_t& cursor) {
  size_t pos = cursor;
  long long value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
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

int ReadArgument(const std::string& text, size_t& cursor) {
  int n = ReadNumber(text, cursor);
  if (n >= 0) {
    ++cursor;
  }
  return n;
}
