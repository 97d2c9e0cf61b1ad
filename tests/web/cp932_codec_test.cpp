// The CP932 codec of the web build against the system's iconv, whose CP932 the programs use:
// every character both ways, then whole texts through the loop that core/sjis.cpp runs, with
// output room small enough to stop on every character.

#include "web/cp932_codec.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "core/utf8.h"
#include "tests/test_util.h"

namespace {

// One conversion as core/sjis.cpp's Converter makes it: pieces of at most `room` bytes, until
// the input is used up or a stop other than a full output. The output and the bytes consumed.
struct Outcome {
  std::string out;
  size_t consumed = 0;
  bool complete = true;
  bool operator==(const Outcome&) const = default;
};

template <typename Step>
Outcome Run(const std::string& in, size_t room, Step step) {
  Outcome outcome;
  const char* src = in.data();
  size_t left = in.size();
  std::string buffer(room, '\0');
  while (left > 0) {
    char* dst = buffer.data();
    size_t dstLeft = room;
    const bool full = step(&src, &left, &dst, &dstLeft);
    outcome.out.append(buffer.data(), dst);
    if (!full) {
      outcome.complete = left == 0;
      break;
    }
  }
  outcome.consumed = in.size() - left;
  return outcome;
}

// A converter of the system's iconv, opened once for the whole test program: opening one
// costs far more than converting a character.
iconv_t Opened(const char* to, const char* from) {
  struct Converters {
    std::map<std::pair<std::string, std::string>, iconv_t> open;
    ~Converters() {
      for (auto& [names, cd] : open) {
        iconv_close(cd);
      }
    }
  };
  static Converters converters;
  auto [at, added] = converters.open.try_emplace({to, from}, nullptr);
  if (added) {
    at->second = iconv_open(to, from);
  }
  return at->second;
}

// The system's iconv; the step returns true when it stopped for room.
Outcome ByIconv(const char* to, const char* from, const std::string& in, size_t room = 256) {
  iconv_t cd = Opened(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return Run(in, room, [cd](const char** src, size_t* left, char** dst, size_t* dl) {
    char* s = const_cast<char*>(*src);
    const size_t rc = iconv(cd, &s, left, dst, dl);
    *src = s;
    return rc == static_cast<size_t>(-1) && errno == E2BIG;
  });
}

Outcome ByCodec(Cp932Direction direction, const std::string& in, size_t room = 256) {
  return Run(in, room, [direction](const char** src, size_t* left, char** dst, size_t* dl) {
    return Cp932Convert(BuiltCp932Tables(), direction, src, left, dst, dl) == Cp932Stop::kFull;
  });
}

TEST(Cp932CodecTest, EveryByteAndPairDecodesAsIconvDecodesIt) {
  int mismatches = 0;
  for (int lead = 0; lead < 0x100 && mismatches < 10; ++lead) {
    const std::string one(1, static_cast<char>(lead));
    if (ByCodec(Cp932Direction::kCp932ToUtf8, one) != ByIconv("UTF-8", "CP932", one)) {
      ++mismatches;
      ADD_FAILURE() << "byte " << HexDump(one);
    }
    for (int trail = 0; trail < 0x100 && lead >= 0x80; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      if (ByCodec(Cp932Direction::kCp932ToUtf8, pair) != ByIconv("UTF-8", "CP932", pair)) {
        ++mismatches;
        ADD_FAILURE() << "bytes " << HexDump(pair);
      }
    }
  }
}

TEST(Cp932CodecTest, EveryCodePointEncodesAsIconvEncodesIt) {
  int mismatches = 0;
  for (uint32_t code = 0; code <= 0x10FFFF && mismatches < 10; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) {
      continue;
    }
    const std::string utf8 = EncodeUtf8(code);
    if (ByCodec(Cp932Direction::kUtf8ToCp932, utf8) != ByIconv("CP932", "UTF-8", utf8)) {
      ++mismatches;
      ADD_FAILURE() << "U+" << std::hex << code;
    }
  }
}

// Texts with faults at every kind of place, converted in pieces as small as one character
// (six bytes: the longest form of UTF-8 that iconv takes).
struct TextCase {
  const char* name;
  std::string text;
};

TEST(Cp932CodecTest, TextsStopWhereIconvStops) {
  const TextCase kSjis[] = {
      {"kana and kanji", "\x82\xA0\x83\x41\x88\x9F abc \x81\x60"},
      {"NEC and IBM rows", "\x87\x40\xED\x40\xFA\x40\xFC\x4B"},
      {"half-width kana", "\xB1\xB2\xDF"},
      {"bad trail byte", "ab\x82\x20xy"},
      {"lead byte at the end", "ab\x82"},
      {"bytes of no character", "a\x80\xA0\xFD\xFE\xFFz"},
      {"empty", ""},
  };
  const TextCase kUtf8[] = {
      {"Japanese", "\xE3\x81\x82\xEF\xBD\x9E\xE2\x80\x95 ok"},
      {"not in CP932", "ab\xC3\xA9z"},
      {"emoji", "\xF0\x9F\x8E\xB5"},
      {"overlong", "a\xC0\xAF"},
      {"surrogate", "a\xED\xA0\x80"},
      {"above U+10FFFF", "a\xF4\x90\x80\x80"},
      {"five and six bytes", "a\xF8\x88\x80\x80\x80\xFC\x84\x80\x80\x80\x80"},
      {"overlong six bytes", "a\xFC\x80\x80\x80\x80\x80"},
      {"cut off", "a\xE3\x81"},
      {"stray continuation", "a\x80"},
      {"language tag", "a\xF3\xA0\x80\x81z"},
  };
  for (size_t room : {size_t{6}, size_t{7}, size_t{256}}) {
    for (const TextCase& c : kSjis) {
      SCOPED_TRACE(std::string(c.name) + ", room " + std::to_string(room));
      EXPECT_EQ(ByCodec(Cp932Direction::kCp932ToUtf8, c.text, room),
                ByIconv("UTF-8", "CP932", c.text, room));
    }
    for (const TextCase& c : kUtf8) {
      SCOPED_TRACE(std::string(c.name) + ", room " + std::to_string(room));
      EXPECT_EQ(ByCodec(Cp932Direction::kUtf8ToCp932, c.text, room),
                ByIconv("CP932", "UTF-8", c.text, room));
      EXPECT_EQ(ByCodec(Cp932Direction::kUtf8ToUtf8, c.text, room),
                ByIconv("UTF-8", "UTF-8", c.text, room));
    }
  }
}

}  // namespace
