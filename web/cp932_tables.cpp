#include "web/cp932_codec.h"

namespace {
// The generated arrays (kCp932Single, kCp932Pairs, kCp932EncodeCodes, kCp932EncodeBytes).
#include "cp932_table.inc"
}  // namespace

const Cp932Tables& BuiltCp932Tables() {
  static const Cp932Tables tables{kCp932Single, kCp932Pairs, kCp932EncodeCodes, kCp932EncodeBytes,
                                  sizeof kCp932EncodeCodes / sizeof kCp932EncodeCodes[0]};
  return tables;
}
