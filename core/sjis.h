#ifndef QUAVREX_CORE_SJIS_H_
#define QUAVREX_CORE_SJIS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// True when `byte` starts a double-byte Shift-JIS character. Only this one byte is tested:
// 0x81-0x9F and 0xE0-0xEF count, 0xF0-0xFC do not.
inline bool IsLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF);
}
inline bool IsLeadByte(char byte) { return IsLeadByte(static_cast<uint8_t>(byte)); }

// Converts a UTF-8 message text of this program to Shift-JIS with the CP932 codec (which,
// unlike plain Shift_JIS, encodes "～"). The texts are the program's own; one that cannot be
// converted is a programming error and aborts.
std::string Sjis(std::string_view utf8);

// Converts Shift-JIS (CP932) bytes to UTF-8 for people to read. A byte that cannot be
// converted is shown as \xNN and the conversion goes on after it.
std::string SjisToUtf8(std::string_view sjis);

// True when `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// A file name as people read it: unchanged when it is UTF-8, otherwise taken as Shift-JIS
// (as Japanese archives unpack their names) and converted, bad bytes as \xNN.
std::string FileNameForDisplay(std::string_view name);

// Converts UTF-8 to Shift-JIS (CP932) when every character can be encoded; returns false
// otherwise, leaves `out` unspecified and, when `stoppedAt` is given, stores there the byte
// offset of the first character that could not be converted.
bool Utf8ToSjis(std::string_view utf8, std::string& out, size_t* stoppedAt = nullptr);

#endif  // QUAVREX_CORE_SJIS_H_
