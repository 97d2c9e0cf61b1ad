#include "web/cp932_codec.h"

#include <algorithm>

namespace {

constexpr uint16_t kNoBytes = 0xFFFF;  // a character converted to nothing

// One character of UTF-8 input: its code point and length, or why there is none.
struct Utf8Read {
  Cp932Stop stop = Cp932Stop::kDone;
  char32_t code = 0;
  size_t length = 0;
};

// Reads the character at `in` as the system's iconv does. Like it, this takes the long forms
// of five and six bytes and values up to 0x7FFFFFFF (which no CP932 character has), and refuses
// overlong forms and surrogates; a well-begun character that the input cuts off is incomplete.
Utf8Read ReadUtf8(const uint8_t* in, size_t left) {
  const uint8_t lead = in[0];
  if (lead < 0x80) {
    return {Cp932Stop::kDone, lead, 1};
  }
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF7) {
    length = 4;
  } else if (lead >= 0xF8 && lead <= 0xFB) {
    length = 5;
  } else if (lead >= 0xFC && lead <= 0xFD) {
    length = 6;
  } else {
    return {Cp932Stop::kInvalid, 0, 0};
  }
  char32_t code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if (k >= left) {
      return {Cp932Stop::kIncomplete, 0, 0};
    }
    if ((in[k] & 0xC0) != 0x80) {
      return {Cp932Stop::kInvalid, 0, 0};
    }
    code = (code << 6) | (in[k] & 0x3F);
  }
  // The smallest value of each length: a smaller one is an overlong form.
  constexpr char32_t kSmallest[7] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF)) {
    return {Cp932Stop::kInvalid, 0, 0};
  }
  return {Cp932Stop::kDone, code, length};
}

// The UTF-8 bytes of `code` into `out`; their count.
size_t WriteUtf8(char32_t code, uint8_t* out) {
  if (code < 0x80) {
    out[0] = static_cast<uint8_t>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<uint8_t>(0xC0 | (code >> 6));
    out[1] = static_cast<uint8_t>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<uint8_t>(0xE0 | (code >> 12));
    out[1] = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<uint8_t>(0xF0 | (code >> 18));
  out[1] = static_cast<uint8_t>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<uint8_t>(0x80 | (code & 0x3F));
  return 4;
}

// One character of CP932 input as UTF-8 bytes in `bytes`; the stop when there is none.
Cp932Stop ReadCp932(const Cp932Tables& tables, const uint8_t* in, size_t left, size_t& consumed,
                    uint8_t* bytes, size_t& count) {
  const int32_t single = tables.single[in[0]];
  if (single >= 0) {
    consumed = 1;
    count = WriteUtf8(static_cast<char32_t>(single), bytes);
    return Cp932Stop::kDone;
  }
  if (in[0] < 0x80) {
    return Cp932Stop::kInvalid;
  }
  // A lead byte: whether it leads anything at all decides between a cut-off and a bad byte.
  const uint16_t* row = tables.pairs + static_cast<size_t>(in[0] - 0x80) * 256;
  if (left < 2) {
    return std::any_of(row, row + 256, [](uint16_t code) { return code != 0; })
               ? Cp932Stop::kIncomplete
               : Cp932Stop::kInvalid;
  }
  const uint16_t code = row[in[1]];
  if (code == 0) {
    return Cp932Stop::kInvalid;
  }
  consumed = 2;
  count = WriteUtf8(code, bytes);
  return Cp932Stop::kDone;
}

// The CP932 bytes of `code` into `bytes`; false when CP932 has none.
bool EncodeCp932(const Cp932Tables& tables, char32_t code, uint8_t* bytes, size_t& count) {
  const uint32_t* end = tables.encodeCodes + tables.encodeCount;
  const uint32_t* found = std::lower_bound(tables.encodeCodes, end, code);
  if (found == end || *found != code) {
    return false;
  }
  const uint16_t value = tables.encodeBytes[found - tables.encodeCodes];
  if (value == kNoBytes) {
    count = 0;
  } else if (value < 0x100) {
    bytes[0] = static_cast<uint8_t>(value);
    count = 1;
  } else {
    bytes[0] = static_cast<uint8_t>(value >> 8);
    bytes[1] = static_cast<uint8_t>(value & 0xFF);
    count = 2;
  }
  return true;
}

}  // namespace

Cp932Stop Cp932Convert(const Cp932Tables& tables, Cp932Direction direction, const char** in,
                       size_t* inLeft, char** out, size_t* outLeft) {
  while (*inLeft > 0) {
    const auto* src = reinterpret_cast<const uint8_t*>(*in);
    uint8_t bytes[6];
    size_t count = 0;
    size_t consumed = 0;
    if (direction == Cp932Direction::kCp932ToUtf8) {
      const Cp932Stop stop = ReadCp932(tables, src, *inLeft, consumed, bytes, count);
      if (stop != Cp932Stop::kDone) {
        return stop;
      }
    } else {
      const Utf8Read read = ReadUtf8(src, *inLeft);
      if (read.stop != Cp932Stop::kDone) {
        return read.stop;
      }
      consumed = read.length;
      if (direction == Cp932Direction::kUtf8ToUtf8) {
        count = read.length;  // a character read is written back as it was
        std::copy(src, src + count, bytes);
      } else if (!EncodeCp932(tables, read.code, bytes, count)) {
        return Cp932Stop::kInvalid;
      }
    }
    if (count > *outLeft) {
      return Cp932Stop::kFull;
    }
    std::copy(bytes, bytes + count, reinterpret_cast<uint8_t*>(*out));
    *out += count;
    *outLeft -= count;
    *in += consumed;
    *inLeft -= consumed;
  }
  return Cp932Stop::kDone;
}
