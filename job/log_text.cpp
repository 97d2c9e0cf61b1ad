#include "job/log_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Appends "\xNN" for `byte`, in the form the Shift-JIS conversion gives a byte it cannot read.
void AppendEscaped(std::string& out, uint8_t byte) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    const bool lineEnd = byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    // U+0080-U+009F: the lead byte C2 followed by 80-9F.
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<uint8_t>(text[i + 1]) >= 0x80 &&
                    static_cast<uint8_t>(text[i + 1]) <= 0x9F;
    if (lineEnd) {
      out += "\r\n";
      ++i;
    } else if (c1) {
      AppendEscaped(out, byte);
      AppendEscaped(out, static_cast<uint8_t>(text[++i]));
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendEscaped(out, byte);
    } else {
      out += text[i];
    }
  }
  return out;
}
