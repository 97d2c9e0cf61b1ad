// The contents block: a list of fields "tag:value," that becomes the option bytes of the
// contents-info chunk. A tag is two digits or ASCII letters; a value runs to the first comma
// that is not escaped. Values are copied as written except that line breaks and tabs are left
// out and a few escapes after a backslash are resolved:
//   \]  gives "]" (the backslash only kept the block open)
//   \,  stays as it is, both bytes, and does not end the value
//   \xHH gives the byte HH
//   \ before anything else is dropped; a backslash that an odd run of backslashes escapes
//   is dropped too, so a doubled backslash leaves nothing.

#include "frontend/contents_part.h"

#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/sjis.h"

namespace {

namespace msg = messages::frontend;

bool IsBlank(uint8_t c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

bool IsTagByte(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The value of a hexadecimal digit, or -1.
int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

// The run of backslashes directly before a backslash: it counts from position 3 on (a value
// never starts earlier) and stops at a backslash that is the second byte of a double-byte
// character. The run before the previous backslash is kept, so that a long run of
// backslashes is walked once and not once per backslash.
class BackslashRun {
 public:
  // True when the backslash at `pos` is escaped by an odd run of backslashes before it.
  bool IsEscaped(const std::string& text, size_t pos) {
    int run = 0;
    if (pos > 3 && text[pos - 1] == '\\' && !IsLeadByte(text[pos - 2])) {
      run = pos_ + 1 == pos ? run_ + 1 : RunBefore(text, pos);
    }
    pos_ = pos;
    run_ = run;
    return run % 2 == 1;
  }

 private:
  static int RunBefore(const std::string& text, size_t pos) {
    int run = 0;
    for (size_t j = pos; j > 3 && text[j - 1] == '\\' && !IsLeadByte(text[j - 2]); --j) {
      ++run;
    }
    return run;
  }

  size_t pos_ = std::string::npos;  // the backslash last looked at
  int run_ = 0;                     // the run before it
};

// Resolves the backslash at `pos` of a value into `out`; returns the position after what it
// took, or npos for "\x" without two hexadecimal digits.
size_t ReadEscape(const std::string& text, size_t pos, BackslashRun& runs, Bytes& out) {
  if (runs.IsEscaped(text, pos)) {
    return pos + 1;
  }
  const uint8_t next = ByteAt(text, pos + 1);
  if (next == ']') {
    AppendU8(out, ']');
    return pos + 2;
  }
  if (next == ',') {
    Append(out, "\\,");
    return pos + 2;
  }
  if (next == 'x' || next == 'X') {
    const int high = HexValue(ByteAt(text, pos + 2));
    const int low = HexValue(ByteAt(text, pos + 3));
    if (high < 0 || low < 0) {
      return std::string::npos;
    }
    AppendU8(out, high * 16 + low);
    return pos + 4;
  }
  // No meaning: the backslash goes, the next byte is read as usual.
  return pos + 1;
}

}  // namespace

StageResult<Bytes> ParseContents(const std::string& text) {
  // The message points at the field or escape at fault in the joined blocks.
  auto failAt = [](size_t offset, std::string_view message) {
    return CompileFault{Sjis(message),
                        {FaultText::kJoined, std::string(msg::kContentsLabel), offset}};
  };
  Bytes options;
  size_t valueStart = 0;
  bool inValue = false;
  BackslashRun runs;
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t c = ByteAt(text, i);
    if (!inValue) {
      if (IsBlank(c)) {
        ++i;
        continue;
      }
      // The second tag byte is only looked at when it exists.
      if (!IsTagByte(c) || (i + 1 < text.size() && !IsTagByte(ByteAt(text, i + 1)))) {
        return failAt(i, msg::kContentsNotation);
      }
      if (ByteAt(text, i + 2) != ':') {
        return failAt(i, msg::kContentsColon);
      }
      valueStart = i + 3;
      Append(options, std::string_view(text).substr(i, 3));
      i += 3;
      inValue = true;
    } else if (IsLeadByte(c)) {
      // A double-byte character is copied whole; its second byte may be a backslash.
      Append(options, std::string_view(text).substr(i, 2));
      i += 2;
    } else if (c == '\\') {
      const size_t escape = i;
      i = ReadEscape(text, i, runs, options);
      if (i == std::string::npos) {
        return failAt(escape, msg::kContentsHex);
      }
    } else {
      // Line breaks and tabs inside a value are left out; blanks stay.
      if (c != '\n' && c != '\r' && c != '\t') {
        AppendU8(options, c);
      }
      inValue = c != ',';
      ++i;
    }
  }
  if (inValue) {
    return failAt(valueStart, msg::kContentsNotation);  // the value without its comma
  }
  return options;
}
