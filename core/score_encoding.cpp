#include "core/score_encoding.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/messages.h"
#include "core/sjis.h"
#include "core/source_position.h"
#include "core/utf8.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The fault messages (UTF-8), around the place ("<line>行<column>桁") and the character or
// byte.
namespace em = messages::core;

bool HasMultiByteCharacter(std::string_view text) {
  // Eight bytes at a time: most scores are plain ASCII and are read to the end.
  constexpr uint64_t kHighBits = 0x8080808080808080;
  size_t i = 0;
  for (; text.size() - i >= 8; i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if ((word & kHighBits) != 0) {
      return true;
    }
  }
  for (; i < text.size(); ++i) {
    if (static_cast<uint8_t>(text[i]) >= 0x80) {
      return true;
    }
  }
  return false;
}

// True when a byte of `text` starts a three- or four-byte UTF-8 sequence (well-formed text
// assumed).
bool HasLongUtf8Character(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0xE0) {
      return true;
    }
  }
  return false;
}

std::string PlaceText(std::string_view text, size_t offset) {
  const SourcePosition where = PositionInUtf8(text, offset);
  return std::to_string(where.line) + std::string(em::kLineMark) + std::to_string(where.column) +
         std::string(em::kColumnMark);
}

// "<line>行<column>桁の文字 'X' (U+XXXX) はShift-JISに変換できません。"
EncodingFault UnconvertibleCharacter(std::string_view text, size_t offset) {
  const Utf8Char c = DecodeUtf8(text, offset);
  char code[16];
  std::snprintf(code, sizeof code, "' (U+%04X)", static_cast<unsigned>(c.code));
  return {offset, PlaceText(text, offset) + std::string(em::kCharacterHead) +
                      std::string(text.substr(offset, c.length)) + code +
                      std::string(em::kCharacterTail)};
}

// "<line>行<column>桁のバイト 0xNN はUTF-8として読めません。"
EncodingFault InvalidByte(std::string_view text, size_t offset) {
  char byte[8];
  std::snprintf(byte, sizeof byte, "0x%02X", static_cast<uint8_t>(text[offset]));
  return {offset,
          PlaceText(text, offset) + std::string(em::kByteHead) + byte + std::string(em::kByteTail)};
}

// Converts the whole text, or finds the first character that stops the conversion.
bool ConvertUtf8(std::string& text, EncodingFault& fault) {
  const size_t start = std::string_view(text).substr(0, 3) == kByteOrderMark ? 3 : 0;
  const std::string_view body = std::string_view(text).substr(start);
  const size_t invalid = FirstInvalidUtf8(body);
  if (invalid != std::string_view::npos) {
    fault = InvalidByte(text, start + invalid);
    return false;
  }
  std::string converted;
  size_t stopped = 0;
  if (!Utf8ToSjis(body, converted, &stopped)) {
    fault = UnconvertibleCharacter(text, start + stopped);
    return false;
  }
  text = std::move(converted);
  return true;
}

}  // namespace

bool ToCompilerText(std::string& text, ScoreEncoding encoding, EncodingFault& fault) {
  switch (encoding) {
    case ScoreEncoding::kShiftJis:
      return true;
    case ScoreEncoding::kUtf8:
      return ConvertUtf8(text, fault);
    case ScoreEncoding::kAuto:
      break;
  }
  if (std::string_view(text).substr(0, 3) == kByteOrderMark) {
    return ConvertUtf8(text, fault);
  }
  if (!HasMultiByteCharacter(text) || FirstInvalidUtf8(text) != std::string_view::npos) {
    return true;
  }
  // Well-formed UTF-8 with a three- or four-byte character is plainly UTF-8: Shift-JIS text
  // of Japanese is practically never well-formed UTF-8, since its kana and most kanji start
  // with bytes that never start a UTF-8 character. A character that CP932 lacks is then named.
  if (HasLongUtf8Character(text)) {
    return ConvertUtf8(text, fault);
  }
  // Only two-byte sequences: Shift-JIS half-width kana pairs ("\xC3\xA9", "ﾃｩ") decode as
  // UTF-8 too, so a text that does not convert wholly stays as it is.
  std::string converted;
  if (Utf8ToSjis(text, converted)) {
    text = std::move(converted);
  }
  return true;
}
