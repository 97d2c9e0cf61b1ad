#ifndef QUAVREX_WEB_CP932_CODEC_H_
#define QUAVREX_WEB_CP932_CODEC_H_

#include <cstddef>
#include <cstdint>

// The conversions that core/sjis.cpp asks of iconv (CP932 to UTF-8, UTF-8 to CP932 and UTF-8
// to UTF-8), worked from tables that the build makes with the system's iconv
// (web/cp932_table_gen.cpp). The web build's C library has plain Shift_JIS but not CP932, which
// maps some characters differently ("～" among them), so the page converts with these instead
// and gives the same bytes and messages as the programs.

// The tables, as the generator writes them.
struct Cp932Tables {
  // Code point of each one-byte character, -1 where the byte is none (a lead byte, or a byte
  // the codec refuses).
  const int32_t* single;  // 256 entries
  // Code point of each two-byte character: entry (lead - 0x80) * 256 + trail, 0 for none.
  const uint16_t* pairs;  // 128 * 256 entries
  // Every code point that has bytes, sorted by code point, with its bytes (one byte when
  // below 0x100, else lead * 256 + trail; 0xFFFF for a character converted to nothing, as the
  // system's iconv drops the language tags). Several code points may share bytes.
  const uint32_t* encodeCodes;
  const uint16_t* encodeBytes;
  size_t encodeCount;
};

// The tables generated for this build.
const Cp932Tables& BuiltCp932Tables();

enum class Cp932Direction { kCp932ToUtf8, kUtf8ToCp932, kUtf8ToUtf8 };

// What one conversion step did, as iconv reports it.
enum class Cp932Stop {
  kDone,        // all input converted
  kInvalid,     // a sequence that does not convert starts at the input left (EILSEQ)
  kIncomplete,  // the input ends inside a character (EINVAL)
  kFull,        // the next character does not fit the output left (E2BIG)
};

// Converts from *in (*inLeft bytes) to *out (*outLeft bytes room) as iconv(3) does: the
// pointers and counts move past what was converted, and the step stops at the first character
// that is invalid, cut off by the end of the input, or too long for the output left.
Cp932Stop Cp932Convert(const Cp932Tables& tables, Cp932Direction direction, const char** in,
                       size_t* inLeft, char** out, size_t* outLeft);

#endif  // QUAVREX_WEB_CP932_CODEC_H_
