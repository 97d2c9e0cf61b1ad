#include "mmf/crc.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using namespace std::string_view_literals;

Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(CrcTest, PublishedCheckValues) {
  struct Case {
    std::string_view data;
    uint16_t crc;
  };
  const Case cases[] = {{"123456789", 0xD64E}, {"abc", 0xAEB5}, {"", 0x0000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    Bytes data = BytesOf(c.data);
    EXPECT_EQ(Crc16(data.data(), data.size(), 0xFFFF), c.crc);
  }
}

TEST(CrcTest, ImageCrcLeavesOutTheLastFourBytes) {
  // The CRC's own two bytes and the trailer are not covered, whatever they hold.
  EXPECT_EQ(ComputeCrc(BytesOf("123456789\x00\x00\x1D\x0F"sv), 0xFFFF), 0xD64E);
  EXPECT_EQ(ComputeCrc(BytesOf("123456789\xAB\xCD\xEF\x01"sv), 0xFFFF), 0xD64E);
  EXPECT_EQ(ComputeCrc(BytesOf("abc"), 0xFFFF), 0x0000);  // shorter than four: nothing covered
}

}  // namespace
