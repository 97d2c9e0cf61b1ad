// The web build's CP932 codec against the system's iconv on any bytes: in every direction the
// codec must convert as much, give the same bytes and stop at the same place.

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "web/cp932_codec.h"

namespace {

struct Outcome {
  std::string out;
  size_t left = 0;
  bool stopped = false;
};

Outcome ByIconv(iconv_t cd, const std::string& in, size_t room) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  Outcome o;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  std::string buffer(room, '\0');
  while (left > 0) {
    char* dst = buffer.data();
    size_t dstLeft = room;
    const size_t rc = iconv(cd, &src, &left, &dst, &dstLeft);
    o.out.append(buffer.data(), dst);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      o.stopped = true;
      break;
    }
  }
  o.left = left;
  return o;
}

Outcome ByCodec(Cp932Direction direction, const std::string& in, size_t room) {
  Outcome o;
  const char* src = in.data();
  size_t left = in.size();
  std::string buffer(room, '\0');
  while (left > 0) {
    char* dst = buffer.data();
    size_t dstLeft = room;
    const Cp932Stop stop = Cp932Convert(BuiltCp932Tables(), direction, &src, &left, &dst, &dstLeft);
    o.out.append(buffer.data(), dst);
    if (stop != Cp932Stop::kFull && stop != Cp932Stop::kDone) {
      o.stopped = true;
      break;
    }
  }
  o.left = left;
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static iconv_t decode = iconv_open("UTF-8", "CP932");
  static iconv_t encode = iconv_open("CP932", "UTF-8");
  static iconv_t check = iconv_open("UTF-8", "UTF-8");
  if (size == 0) {
    return 0;
  }
  // The first byte chooses the output room: at least the longest character (six bytes).
  const size_t room = 6 + data[0] % 32;
  const std::string in(reinterpret_cast<const char*>(data) + 1, size - 1);
  const struct {
    iconv_t cd;
    Cp932Direction direction;
  } kPairs[] = {{decode, Cp932Direction::kCp932ToUtf8},
                {encode, Cp932Direction::kUtf8ToCp932},
                {check, Cp932Direction::kUtf8ToUtf8}};
  for (const auto& pair : kPairs) {
    const Outcome a = ByIconv(pair.cd, in, room);
    const Outcome b = ByCodec(pair.direction, in, room);
    if (a.out != b.out || a.left != b.left || a.stopped != b.stopped) {
      std::abort();
    }
  }
  return 0;
}
