#include "core/text_functions.h"

#include <cstdint>
#include <cstring>

#include "core/sjis.h"

namespace {

// All four lie at or below the space, which most bytes of a score do not.
bool IsWhitespace(char c) {
  const auto b = static_cast<uint8_t>(c);
  return b <= ' ' && (b == ' ' || b == '\t' || b == '\n' || b == '\r');
}

// The length of the run of bytes from `p` up to the first white-space byte or `end`. Eight
// bytes at a time while none of them lies at or below the space: scores are mostly long runs.
size_t KeptRun(const char* p, const char* end) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  constexpr uint64_t kHighBits = 0x8080808080808080;
  const char* const start = p;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // Set in a byte that lies below 0x21 (exact for the first such byte of the word).
    if (((word - kOnes * 0x21) & ~word & kHighBits) != 0) {
      break;
    }
  }
  while (p < end && !IsWhitespace(*p)) {
    ++p;
  }
  return static_cast<size_t>(p - start);
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
    p += KeptRun(p, end);
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
