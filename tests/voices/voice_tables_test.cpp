#include "voices/voice_tables.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"
#include "voices/voice_definitions.h"

namespace {

struct RecordCase {
  const char* name;
  Bytes actual;
  const char* expected;
};

TEST(VoiceTablesTest, BuiltInRecordsAreThoseGiven) {
  const VoiceDefinitions c;
  auto bytes = [](const auto& record) { return Bytes(record.begin(), record.end()); };
  const RecordCase cases[] = {
      {"MA1 voice 0", bytes(c.ma1[0]), "F1 21 7B 8C A0 31 57 8C 00 00 11 22 44 F7"},
      {"MA1 voice 1", bytes(c.ma1[1]), "71 61 7B 89 80 31 57 8C 00 30 31 62 00 F7"},
      {"MA1 voice 127", bytes(c.ma1[127]), "21 6C 03 FC A7 65 67 FC 00 00 33 00 00 F7"},
      {"MA2 voice 0", bytes(c.ma2[0]), "60 01 14 52 F4 3A A0 14 62 F7 00 A0 F7"},
      {"MA2 voice 1", bytes(c.ma2[1]), "68 01 15 42 F5 3E A0 14 62 F5 00 A0 F7"},
      {"MA2 drum 24", bytes(c.ma2[152]), "70 01 30 07 FF 0C A1 31 F8 AF 00 A6 F7"},
      {"MA2 drum 84", bytes(c.ma2[212]), "58 01 E0 54 3E 00 A3 90 36 40 19 A1 F7"},
      // Records no built-in table fills hold the zero record.
      {"MA2 drum 0", bytes(c.ma2[128]), "00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"MA2 drum 127", bytes(c.ma2[255]), "00 00 00 00 00 00 00 00 00 00 00 00 F7"},
      {"MA2 4-op 0", bytes(c.ma2FourOp[0]),
       "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7"},
  };
  for (const RecordCase& rc : cases) {
    SCOPED_TRACE(rc.name);
    EXPECT_EQ(HexDump(rc.actual), HexDump(FromHex(rc.expected)));
  }
}

TEST(VoiceTablesTest, EachScoreStartsFromItsOwnCopyOfTheTables) {
  VoiceDefinitions first;
  first.ma2[0][0] = 0x00;
  first.ma1[1][0] = 0x00;
  const VoiceDefinitions second;
  EXPECT_EQ(second.ma2[0][0], 0x60);
  EXPECT_EQ(second.ma1[1][0], 0x71);
}

}  // namespace
