// The web build's iconv: the three conversions core/sjis.cpp opens, worked by the CP932 codec
// from the generated tables (web/cp932_codec.h). Linked into the page's module in place of the C
// library's iconv, which has no CP932, so core/sjis.cpp is the very source the programs use.

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "web/cp932_codec.h"

namespace {

struct Descriptor {
  Cp932Direction direction;
};

bool IsName(const char* name, const char* expected) { return std::strcmp(name, expected) == 0; }

}  // namespace

extern "C" iconv_t iconv_open(const char* to, const char* from) {
  Cp932Direction direction;
  if (IsName(to, "UTF-8") && IsName(from, "CP932")) {
    direction = Cp932Direction::kCp932ToUtf8;
  } else if (IsName(to, "CP932") && IsName(from, "UTF-8")) {
    direction = Cp932Direction::kUtf8ToCp932;
  } else if (IsName(to, "UTF-8") && IsName(from, "UTF-8")) {
    direction = Cp932Direction::kUtf8ToUtf8;
  } else {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }
  auto* descriptor = new (std::nothrow) Descriptor{direction};
  if (descriptor == nullptr) {
    errno = ENOMEM;
    return reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }
  return descriptor;
}

extern "C" size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft) {
  // No input: back to the initial state, which these stateless encodings always are in.
  if (in == nullptr || *in == nullptr) {
    return 0;
  }
  const char* src = *in;
  const Cp932Stop stop = Cp932Convert(BuiltCp932Tables(), static_cast<Descriptor*>(cd)->direction,
                                      &src, inLeft, out, outLeft);
  *in = const_cast<char*>(src);
  switch (stop) {
    case Cp932Stop::kDone:
      return 0;
    case Cp932Stop::kInvalid:
      errno = EILSEQ;
      break;
    case Cp932Stop::kIncomplete:
      errno = EINVAL;
      break;
    case Cp932Stop::kFull:
      errno = E2BIG;
      break;
  }
  return static_cast<size_t>(-1);
}

extern "C" int iconv_close(iconv_t cd) {
  delete static_cast<Descriptor*>(cd);
  return 0;
}
