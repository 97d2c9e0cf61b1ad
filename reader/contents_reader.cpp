#include "reader/contents_reader.h"

#include "core/mmf_layout.h"
#include "core/sjis.h"

namespace {

bool IsTagByte(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Splits the option text into fields; `base` is the file offset of its first byte.
void SplitFields(const ReadContext& c, size_t base, MmfContents& contents) {
  const std::string& text = contents.options;
  size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i < 3 || !IsTagByte(text[i]) || !IsTagByte(text[i + 1]) ||
        text[i + 2] != ':') {
      c.Add(FindingKind::kBadValue, base + i, "contents option not in the form XX:value,");
      return;
    }
    ContentsField field;
    field.offset = base + i;
    field.tag = text.substr(i, 2);
    size_t j = i + 3;
    bool closed = false;
    while (j < text.size()) {
      uint8_t b = static_cast<uint8_t>(text[j]);
      if (IsLeadByte(b) && j + 1 < text.size()) {
        j += 2;
      } else if (b == '\\' && j + 1 < text.size() && text[j + 1] == ',') {
        j += 2;
      } else if (b == ',') {
        closed = true;
        break;
      } else {
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
