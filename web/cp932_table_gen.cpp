// Writes the tables of web/cp932_codec.h as C++ source, asking the system's iconv for every
// character: each byte and byte pair from CP932 to UTF-8, each code point from UTF-8 to CP932.
// A build tool: the web build runs it on the build machine, whose C library has CP932.
//
//   cp932_table_gen OUTPUT.inc

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/utf8.h"

namespace {

constexpr uint16_t kNoBytes = 0xFFFF;  // as in web/cp932_codec.h

// Converts all of `in` or nothing: false when iconv stops anywhere.
bool ConvertWhole(iconv_t cd, const std::string& in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[16];
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) {
    return false;
  }
  out.assign(buffer, dst);
  return true;
}

// The code point of `utf8` when it is exactly one character, else -1.
int32_t OneCharacter(const std::string& utf8) {
  const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
  const size_t n = utf8.size();
  if (n == 1 && p[0] < 0x80) {
    return p[0];
  }
  if (n == 2 && (p[0] & 0xE0) == 0xC0) {
    return ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
  }
  if (n == 3 && (p[0] & 0xF0) == 0xE0) {
    return ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
  }
  return -1;
}

template <typename T>
void WriteArray(std::ofstream& file, const char* type, const char* name,
                const std::vector<T>& values) {
  file << "const " << type << " " << name << "[" << values.size() << "] = {";
  for (size_t i = 0; i < values.size(); ++i) {
    file << (i % 16 == 0 ? "\n" : " ") << static_cast<int64_t>(values[i]) << ",";
  }
  file << "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cp932_table_gen OUTPUT.inc\n");
    return 2;
  }
  iconv_t decode = iconv_open("UTF-8", "CP932");
  iconv_t encode = iconv_open("CP932", "UTF-8");
  if (decode == reinterpret_cast<iconv_t>(-1) || encode == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "cp932_table_gen: the system's iconv has no CP932\n");
    return 1;
  }
  std::vector<int32_t> single(256, -1);
  std::vector<uint16_t> pairs(128 * 256, 0);
  std::string out;
  for (int b = 0; b < 256; ++b) {
    if (ConvertWhole(decode, std::string(1, static_cast<char>(b)), out)) {
      single[static_cast<size_t>(b)] = OneCharacter(out);
    }
  }
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int trail = 0; trail < 0x100; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      // A pair that iconv reads as two one-byte characters is not a two-byte character.
      if (single[static_cast<size_t>(lead)] < 0 && ConvertWhole(decode, pair, out)) {
        const int32_t code = OneCharacter(out);
        if (code <= 0 || code > 0xFFFF) {
          std::fprintf(stderr, "cp932_table_gen: %02X %02X gives no one character\n", lead, trail);
          return 1;
        }
        pairs[static_cast<size_t>((lead - 0x80) * 256 + trail)] = static_cast<uint16_t>(code);
      }
    }
  }
  std::vector<uint32_t> codes;
  std::vector<uint16_t> bytes;
  for (uint32_t code = 0; code <= 0x10FFFF; ++code) {
    if ((code >= 0xD800 && code <= 0xDFFF) || !ConvertWhole(encode, EncodeUtf8(code), out)) {
      continue;
    }
    // The system's iconv drops some characters (the language tags U+E0000-U+E007F) silently.
    if (out.empty()) {
      codes.push_back(code);
      bytes.push_back(kNoBytes);
      continue;
    }
    if (out.size() != 1 && out.size() != 2) {
      std::fprintf(stderr, "cp932_table_gen: U+%04X gives %zu bytes\n", code, out.size());
      return 1;
    }
    codes.push_back(code);
    bytes.push_back(out.size() == 1 ? static_cast<uint8_t>(out[0])
                                    : static_cast<uint16_t>(static_cast<uint8_t>(out[0]) * 256 +
                                                            static_cast<uint8_t>(out[1])));
  }
  iconv_close(decode);
  iconv_close(encode);

  std::ofstream file(argv[1], std::ios::binary);
  file << "// Made by web/cp932_table_gen.cpp from the system's iconv; do not edit.\n";
  WriteArray(file, "int32_t", "kCp932Single", single);
  WriteArray(file, "uint16_t", "kCp932Pairs", pairs);
  WriteArray(file, "uint32_t", "kCp932EncodeCodes", codes);
  WriteArray(file, "uint16_t", "kCp932EncodeBytes", bytes);
  file.close();
  if (!file) {
    std::fprintf(stderr, "cp932_table_gen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
