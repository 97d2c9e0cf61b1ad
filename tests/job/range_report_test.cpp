#include "job/range_report.h"

#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"

namespace {

struct ReportCase {
  const char* name;
  int voice;  // -1: never selected
  int low;
  int high;
  const char* report;  // UTF-8; "" for none
};

const ReportCase kCases[] = {
    // voice 0 (offset 1) plays C sharp of octave 3 (49) to C of octave 6 (84)
    {"voice 0 within its range", 0, 49, 84, ""},
    {"voice 0, one note too high", 0, 49, 85,
     "パート1 音程の範囲が制限を越えています。\r\n"
     "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n"},
    {"voice 0, one note too low", 0, 48, 84,
     "パート1 音程の範囲が制限を越えています。\r\n"
     "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n"},
    {"voice 0 below its range, span fine", 0, 37, 60,
     "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n"},
    // offsets 0 and 3
    {"voice 32 may go down to 37", 32, 37, 72, ""},
    {"voice 8 needs 73 and up", 8, 72, 108,
     "パート1 音程の範囲が制限を越えています。\r\n"
     "パート1 音色\"@8\"の発音可能音域(o5C#～o8C)を越えています。\r\n"},
    {"voice 8 from 73", 8, 73, 108, ""},
    // at or below C sharp of octave 2
    {"too low", 32, 36, 40,
     "パート1 \"o2C#\" 以下の音があります。\r\n"
     "パート1 音色\"@32\"の発音可能音域(o2C#～o5C)を越えています。\r\n"},
    // a channel without a voice command plays voice 0
    {"voice never set", -1, 40, 60,
     "パート1 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n"},
    // no notes: high 0, low 108
    {"silent channel", 5, 108, 0, ""},
    {"silent channel without voice", -1, 108, 0, ""},
};

TEST(RangeReportTest, Messages) {
  for (const ReportCase& c : kCases) {
    SCOPED_TRACE(c.name);
    SplitScore score;
    CompiledTracks tracks;
    score.partName[0] = "1";
    tracks.channelVoice[0] = c.voice;
    tracks.noteLow[0] = c.low;
    tracks.noteHigh[0] = c.high;
    EXPECT_EQ(SjisToUtf8(MakeRangeReport(score, tracks)), c.report);
  }
}

// The playable octaves of every MA1 voice, sixteen voices a row: voice v sounds from the C sharp
// of octave k + 2 to the C of octave k + 5.
constexpr const char* kOctaveOffsets[] = {
    "1111112133212311", "1112222111111113", "0000000021001210", "2222111121011111",
    "2110110132221122", "2111111111111111", "1121111111211111", "1212010011111111",
};

TEST(RangeReportTest, EveryVoiceHasItsPlayableRange) {
  for (int voice = 0; voice < 128; ++voice) {
    SCOPED_TRACE(voice);
    const int k = kOctaveOffsets[voice / 16][voice % 16] - '0';
    SplitScore score;
    CompiledTracks tracks;
    score.partName[0] = "1";
    tracks.channelVoice[0] = voice;
    tracks.noteLow[0] = 12 * (k + 3) + 1;  // C sharp of octave k + 2
    tracks.noteHigh[0] = 12 * (k + 6);     // C of octave k + 5
    EXPECT_EQ(MakeRangeReport(score, tracks), "");
    const std::string clause = "パート1 音色\"@" + std::to_string(voice) + "\"の発音可能音域(o" +
                               std::to_string(k + 2) + "C#～o" + std::to_string(k + 5) +
                               "C)を越えています。\r\n";
    tracks.noteHigh[0] += 1;
    EXPECT_TRUE(SjisToUtf8(MakeRangeReport(score, tracks)).ends_with(clause));
    tracks.noteHigh[0] -= 1;
    tracks.noteLow[0] -= 1;
    EXPECT_TRUE(SjisToUtf8(MakeRangeReport(score, tracks)).ends_with(clause));
  }
}

TEST(RangeReportTest, ChannelsInOrderWithTheirPartNames) {
  SplitScore score;
  CompiledTracks tracks;
  score.partName = {"1", "2", "3", "4"};
  for (int ch : {3, 1}) {
    tracks.channelVoice[ch] = 0;
    tracks.noteLow[ch] = 40;
    tracks.noteHigh[ch] = 90;
  }
  EXPECT_EQ(SjisToUtf8(MakeRangeReport(score, tracks)),
            "パート2 音程の範囲が制限を越えています。\r\n"
            "パート2 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n"
            "パート4 音程の範囲が制限を越えています。\r\n"
            "パート4 音色\"@0\"の発音可能音域(o3C#～o6C)を越えています。\r\n");
}

}  // namespace
