#include "core/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// One conversion through iconv. On an invalid or unconvertible sequence it stops and
// reports the position reached; `out` holds what was converted before it.
struct ConvertResult {
  bool complete;
  size_t consumed;
};

ConvertResult Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  // iconv_open reports failure as (iconv_t)-1.
  if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
    std::fprintf(stderr, "quavrex: the iconv codec %s is missing\n", to);
    std::abort();
  }
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[256];
  bool complete = true;
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, dst);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      complete = false;
      break;
    }
  }
  iconv_close(cd);
  return {complete, in.size() - srcLeft};
}

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
  const ConvertResult result = Convert("CP932", "UTF-8", utf8, out);
  if (stoppedAt != nullptr) {
    *stoppedAt = result.consumed;
  }
  return result.complete;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  while (!sjis.empty()) {
    ConvertResult r = Convert("UTF-8", "CP932", sjis, out);
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
  return Convert("UTF-8", "UTF-8", text, out).complete;
}

std::string FileNameForDisplay(std::string_view name) {
  return IsUtf8(name) ? std::string(name) : SjisToUtf8(name);
}
