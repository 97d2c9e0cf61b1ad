#ifndef QUAVREX_READER_READ_CONTEXT_H_
#define QUAVREX_READER_READ_CONTEXT_H_

// What every part of the reader shares: the file's bytes and the list of findings. Reads are
// bounded by an explicit end that the caller has checked against the buffer, never by a size
// field.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/mmf_model.h"

struct ReadContext {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<Finding>* findings = nullptr;
  std::vector<uint8_t>* exclusiveBytes = nullptr;  // the data of exclusives of no known kind
  bool keepEvents = true;  // false: events are decoded and checked, then dropped

  void Add(FindingKind kind, size_t offset, std::string text) const {
    findings->push_back(Finding{kind, offset, std::move(text)});
  }
  // Big-endian 32 bits at `at`; the caller has checked that four bytes are there.
  uint32_t Be32(size_t at) const {
    return uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 |
           uint32_t{data[at + 3]};
  }
  // True when the bytes at `at` (all before `end`) spell `tag`.
  bool TagAt(size_t at, size_t end, std::string_view tag) const {
    if (at > end || end - at < tag.size()) {
      return false;
    }
    return std::string_view(reinterpret_cast<const char*>(data + at), tag.size()) == tag;
  }
};

// A chunk found inside [start, end): its header at `offset`, its body clamped to `end`.
struct ChunkSpan {
  size_t offset = 0;
  size_t bodyStart = 0;
  size_t bodyEnd = 0;
};

// "0x1F" style hex for finding texts.
std::string Hex(unsigned value, int digits = 2);

// Tag bytes as people read them: printable ASCII as is, any other byte as \xNN.
std::string PrintableTag(const uint8_t* bytes, size_t length);

#endif  // QUAVREX_READER_READ_CONTEXT_H_
