#ifndef QUAVREX_CORE_UTF8_H_
#define QUAVREX_CORE_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One character of UTF-8 text: its code point and its length in bytes. `length` is 0 when
// the bytes at the position do not form a character (a stray continuation byte, a cut-off or
// overlong sequence, a surrogate or a value above U+10FFFF).
struct Utf8Char {
  char32_t code = 0;
  size_t length = 0;
};

// Decodes the character that starts at byte `pos` of `text` (pos < text.size()).
Utf8Char DecodeUtf8(std::string_view text, size_t pos);

// The UTF-8 bytes of `code`.
std::string EncodeUtf8(char32_t code);

// The position of the first byte that does not start a character, or npos when all of
// `text` is well-formed UTF-8.
size_t FirstInvalidUtf8(std::string_view text);

// `text` with every byte that does not start a UTF-8 character shown as \xNN, so that it can
// be printed.
std::string PrintableUtf8(std::string_view text);

#endif  // QUAVREX_CORE_UTF8_H_
