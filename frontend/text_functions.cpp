#include "frontend/text_functions.h"

#include "core/sjis.h"

namespace {

// All four lie at or below the space, which most bytes of a score do not.
bool IsWhitespace(char c) {
  const auto b = static_cast<uint8_t>(c);
  return b <= ' ' && (b == ' ' || b == '\t' || b == '\n' || b == '\r');
}

}  // namespace

std::string StripWhitespace(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    // Runs of kept bytes are copied whole: white space is rare inside a part.
    const char* const run = p;
    while (p < end && !IsWhitespace(*p)) {
      ++p;
    }
    out.append(run, p);
    // The byte before a white-space byte is the last byte kept, since removed bytes are
    // never lead bytes.
    for (; p < end && IsWhitespace(*p); ++p) {
      if (!out.empty() && IsLeadByte(out.back())) {
        out.push_back(*p);
      }
    }
  }
  return out;
}
