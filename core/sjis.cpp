#include "core/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// A converter from one encoding to another, open for as long as it lives: a text with many
// bytes that do not convert is converted piece by piece, and opening a converter costs more
// than converting a short piece.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    // iconv_open reports failure as (iconv_t)-1.
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
      std::fprintf(stderr, "quavrex: the iconv codec %s is missing\n", to);
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // One conversion, appended to `out`. On an invalid or unconvertible sequence it stops and
  // reports the position reached; `out` holds what was converted before it.
  struct Result {
    bool complete;
    size_t consumed;
  };
  Result Convert(std::string_view in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[256];
    bool complete = true;
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, dst);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        complete = false;
        break;
      }
    }
    return {complete, in.size() - srcLeft};
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Sjis(std::string_view utf8) {
  std::string out;
  bool ok = Utf8ToSjis(utf8, out);
  if (!ok) {
    std::fprintf(stderr, "quavrex: message text not encodable in CP932\n");
    std::abort();
  }
  return out;
}

bool Utf8ToSjis(std::string_view utf8, std::string& out, size_t* stoppedAt) {
  out.clear();
  const Converter::Result result = Converter("CP932", "UTF-8").Convert(utf8, out);
  if (stoppedAt != nullptr) {
    *stoppedAt = result.consumed;
  }
  return result.complete;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  if (sjis.empty()) {
    return out;
  }
  Converter toUtf8("UTF-8", "CP932");
  while (!sjis.empty()) {
    const Converter::Result r = toUtf8.Convert(sjis, out);
    if (r.complete) {
      break;
    }
    // Show the byte that stopped the conversion and go on after it.
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<uint8_t>(sjis[r.consumed]));
    out += escaped;
    sjis.remove_prefix(r.consumed + 1);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  std::string out;
  return Converter("UTF-8", "UTF-8").Convert(text, out).complete;
}

std::string FileNameForDisplay(std::string_view name) {
  return IsUtf8(name) ? std::string(name) : SjisToUtf8(name);
}
