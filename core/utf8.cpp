#include "core/utf8.h"

#include <cstdio>

Utf8Char DecodeUtf8(std::string_view text, size_t pos) {
  const uint8_t lead = static_cast<uint8_t>(text[pos]);
  if (lead < 0x80) {
    return {lead, 1};
  }
  // Lead byte ranges: the length of the sequence, the lead's value bits and the smallest
  // code point of that length (smaller ones are overlong).
  struct Form {
    uint8_t first, last;
    size_t length;
    uint8_t mask;
    char32_t lowest;
  };
  static constexpr Form kForms[] = {
      {0xC2, 0xDF, 2, 0x1F, 0x80}, {0xE0, 0xEF, 3, 0x0F, 0x800}, {0xF0, 0xF4, 4, 0x07, 0x10000}};
  const Form* form = nullptr;
  for (const Form& f : kForms) {
    if (lead >= f.first && lead <= f.last) {
      form = &f;
    }
  }
  if (form == nullptr) {
    return {};
  }
  const size_t length = form->length;
  char32_t code = lead & form->mask;
  if (pos + length > text.size()) {
    return {};
  }
  for (size_t k = 1; k < length; ++k) {
    const uint8_t next = static_cast<uint8_t>(text[pos + k]);
    if ((next & 0xC0) != 0x80) {
      return {};
    }
    code = code << 6 | (next & 0x3Fu);
  }
  if (code < form->lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {};
  }
  return {code, length};
}

std::string EncodeUtf8(char32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

size_t FirstInvalidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = DecodeUtf8(text, pos).length;
    if (length == 0) {
      return pos;
    }
    pos += length;
  }
  return std::string_view::npos;
}

std::string PrintableUtf8(std::string_view text) {
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = DecodeUtf8(text, pos).length;
    if (length == 0) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<uint8_t>(text[pos]));
      out += escaped;
      ++pos;
    } else {
      out.append(text, pos, length);
      pos += length;
    }
  }
  return out;
}
