#include "reader/contents_reader.h"

#include "core/mmf_layout.h"
#include "core/sjis.h"

namespace {

bool IsTagByte(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// True when a field "XX:" starts at `i` of `text`.
bool FieldStartsAt(const std::string& text, size_t i) {
  return text.size() - i >= 3 && IsTagByte(text[i]) && IsTagByte(text[i + 1]) && text[i + 2] == ':';
}

// Splits the option text into fields; `base` is the file offset of its first byte. The writer
// copies a value as the score gives it, and an escape such as "\x2C" puts any byte there, a
// comma, a lone lead byte or a backslash included. So a comma ends a value only where the
// text ends or the next field starts; any other comma is part of the value (a note, not a
// fault). A lead byte takes the byte after it unless that is a comma (which no double-byte
// character holds), and "\," stays in the value unless it closes the text. Text the writer
// never makes (no "XX:" where a field should start, no closing comma) is a finding.
void SplitFields(const ReadContext& c, size_t base, MmfContents& contents) {
  const std::string& text = contents.options;
  size_t i = 0;
  while (i < text.size()) {
    if (!FieldStartsAt(text, i)) {
      c.Add(FindingKind::kBadValue, base + i, "contents option not in the form XX:value,");
      return;
    }
    ContentsField field;
    field.offset = base + i;
    field.tag = text.substr(i, 2);
    size_t j = i + 3;
    bool closed = false;
    while (j < text.size()) {
      const uint8_t b = static_cast<uint8_t>(text[j]);
      const bool last = j + 1 == text.size();
      if (IsLeadByte(b) && !last && text[j + 1] != ',') {
        j += 2;
      } else if (b == '\\' && !last && text[j + 1] == ',' && j + 2 < text.size()) {
        j += 2;
      } else if (b == ',' && (last || FieldStartsAt(text, j + 1))) {
        closed = true;
        break;
      } else {
        field.bareComma = field.bareComma || b == ',';
        ++j;
      }
    }
    field.value = text.substr(i + 3, j - i - 3);
    contents.fields.push_back(std::move(field));
    if (!closed) {
      c.Add(FindingKind::kBadValue, base + i, "contents field without its closing comma");
      return;
    }
    i = j + 1;
  }
}

}  // namespace

void ReadContents(const ReadContext& c, size_t offset, size_t start, size_t end,
                  MmfContents& contents) {
  contents.present = true;
  contents.offset = offset;
  if (end - start < mmf::kContentsFixedSize) {
    c.Add(FindingKind::kTruncated, start, "contents chunk shorter than its five fixed bytes");
    return;
  }
  const uint8_t* fixed = c.data + start;
  contents.contentsClass = fixed[0];
  contents.contentsType = fixed[1];
  contents.codeType = fixed[2];
  contents.status = fixed[3];
  contents.copyStatus = fixed[4];
  size_t options = start + mmf::kContentsFixedSize;
  contents.options.assign(reinterpret_cast<const char*>(c.data + options), end - options);
  SplitFields(c, options, contents);
}
