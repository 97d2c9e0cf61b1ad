#ifndef QUAVREX_CORE_BYTES_H_
#define QUAVREX_CORE_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// An output image or a chunk of one: raw bytes, multi-byte numbers big-endian.
using Bytes = std::vector<uint8_t>;

inline void AppendU8(Bytes& out, int value) { out.push_back(static_cast<uint8_t>(value)); }

inline void AppendBe16(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

inline void AppendBe32(Bytes& out, uint32_t value) {
  AppendBe16(out, value >> 16);
  AppendBe16(out, value & 0xFFFF);
}

inline void Append(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

inline void Append(Bytes& out, const Bytes& block) {
  out.insert(out.end(), block.begin(), block.end());
}

// True for the ASCII digits "0"-"9" (never for a byte of a double-byte character).
inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
inline bool IsDigit(char c) { return IsDigit(static_cast<uint8_t>(c)); }

// The byte at `pos` of a score text, or 0 at or past its end (so a zero byte in the text
// reads like the end of it).
inline uint8_t ByteAt(const std::string& text, size_t pos) {
  return pos < text.size() ? static_cast<uint8_t>(text[pos]) : 0;
}

#endif  // QUAVREX_CORE_BYTES_H_
