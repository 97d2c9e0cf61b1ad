// The caps that bound one compile (expanded part texts, events, output image), each just under
// and just over, and the exact 64-bit times and durations of notes far longer than 2^31 ticks.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "mmf/track_encoder.h"
#include "sequence/part_compiler.h"
#include "tests/reader/compiled_score.h"
#include "tests/sequence/sequence_test_util.h"

namespace {

struct CapCase {
  std::string name;
  int format;
  std::string score;
  std::string message;  // UTF-8; empty: the image is built, `imageSize` bytes long
  size_t imageSize = 0;
};

// "*2147483647^" as often as needed and a last "*n": a length of exactly `ticks` ticks.
std::string TicksLength(int64_t ticks) {
  std::string out;
  for (; ticks > 2147483647; ticks -= 2147483647) {
    out += "*2147483647^";
  }
  return out + "*" + std::to_string(ticks);
}

// An MA1 score whose image is exactly `size` bytes: two notes with a long rest between them,
// whose delta takes 4 bytes per 16511 ticks, and a contents field to make up the rest.
std::string ScoreOfImageSize(size_t size) {
  // "1[CR*1C]" makes 82 bytes, 1 of them the delta of 126 ticks between the notes; a contents
  // field "ST:" n "," adds n + 4.
  constexpr size_t kBase = 82;
  const size_t steps = (size - kBase - 8) / 4;
  const size_t field = size - kBase - 4 * steps;  // 8-11
  // The delta is 125 ticks of the first note plus the rest; steps * 16511 + 1 takes 4 * steps + 1
  // bytes.
  const int64_t rest = static_cast<int64_t>(steps) * kMaxTimeValue + 1 - 125;
  return "C[ST:" + std::string(field - 4, 'x') + ",]1[CR" + TicksLength(rest) + "C]";
}

std::vector<CapCase> CapCases() {
  return {
      // repeat expansion: the part texts share 16777216 bytes
      // (a "V16" first fails the compile at its first step, once the texts are split)
      {"expansion total at the cap", kFormatMa1, "1[V16|:8388605&:|]2[|:8388608&:|]",
       "1パート 'V'には 0～15 を設定してください。"},
      {"expansion total one over", kFormatMa1, "1[|:8388608&:|]2[|:8388609&:|]",
       "2パート '|:'の展開後のデータが大きすぎます。"},
      {"unexpanded text counts", kFormatMa1, "1[&&|:8388607&:|]2[|:8388608&:|]",
       "2パート '|:'の展開後のデータが大きすぎます。"},
      // events: 1048576 per compile (MA2: voice, volume, the notes, the end of the track)
      {"two parts at the cap", kFormatMa2, "1[|:524285C:|]2[|:524286C:|]", "", 3145828},
      {"end of track one over", kFormatMa2, "1[|:1048574C:|]", "1パート データが大きすぎます。"},
      {"second part one over", kFormatMa2, "1[|:524286C:|]2[|:524287C:|]",
       "2パート データが大きすぎます。"},
      // parts of two tracks: the cap is met in step order
      {"two tracks at the cap", kFormatMa2, "1[|:524285C:|]5[|:524286C:|]", "", 3145828},
      {"two tracks one over", kFormatMa2, "1[|:524286C:|]5[|:524286C:|]",
       "1パート データが大きすぎます。"},
      {"two tracks one over in the second", kFormatMa2, "1[|:524286C:|]5[|:524287C:|]",
       "5パート データが大きすぎます。"},
      // glide steps of one track beside the notes of another meet the cap in step order: the
      // first event over it is a note of part 4 (track 1), or one voice event later a glide
      // step of part 5 (track 2)
      {"cap at a note beside glides", kFormatMa2,
       "1[R]2[R]3[R]4[V1|:345560C*9:|]5[|:3000(O2CO7C)*1000:|]", "4パート データが大きすぎます。"},
      {"cap at a glide step", kFormatMa2,
       "1[R]2[R]3[R]4[V1V1|:345560C*9:|]5[|:3000(O2CO7C)*1000:|]",
       "5パート データが大きすぎます。"},
      // the steps of portamento groups in part 1 fill the store to the cap, or pass it
      {"glide steps at the cap", kFormatMa2, "1[|:12273C*9:||:4300(O2CO7C)*1000:|]", "", 10915918},
      {"glide steps over the cap", kFormatMa2, "1[|:12323C*9:||:4300(O2CO7C)*1000:|]",
       "1パート データが大きすぎます。"},
      // a fault just under the cap in step order, beside glide steps that fill the store
      {"fault under the cap beside glides", kFormatMa2,
       "1[R]2[R]3[R]4[|:330881C*9:|V16]5[|:3000(O2CO7C)*1000:|]",
       "4パート 'V'には 0～15 を設定してください。"},
      // output image: 16777216 bytes
      {"image at the cap", kFormatMa1, ScoreOfImageSize(16777216), "", 16777216},
      {"image one over", kFormatMa1, ScoreOfImageSize(16777217), "データが大きすぎます。"},
      // detuned notes take 40 bytes each (key-on and key-off), every delta short
      {"frequency notes a byte under the cap", kFormatMa2, "1[@K1|:419428C:|]", "", 16777215},
      {"one more passes it among short deltas", kFormatMa2, "1[@K1|:419429C:|]",
       "データが大きすぎます。"},
      // two tracks, the second passing the cap after the first
      {"frequency notes of two tracks under the cap", kFormatMa2,
       "1[@K1|:209700C:|]5[@K1|:209727C:|]", "", 16777187},
      {"one more in the second track passes it", kFormatMa2, "1[@K1|:209700C:|]5[@K1|:209728C:|]",
       "データが大きすぎます。"},
      {"the second track passes it alone", kFormatMa2, "1[C]5[@K1|:419429C:|]",
       "データが大きすぎます。"},
      {"a delta far beyond the cap", kFormatMa1, "1[CR" + TicksLength(int64_t{1} << 40) + "C]",
       "データが大きすぎます。"},
  };
}

TEST(WorkCapsTest, JustUnderAndJustOverEachCap) {
  for (const CapCase& c : CapCases()) {
    SCOPED_TRACE(c.name);
    const CompiledScore built = CompileInMemory(c.score, c.format == kFormatMa2, false, ".");
    if (c.message.empty()) {
      ASSERT_TRUE(built.ok) << SjisToUtf8(built.message);
      EXPECT_EQ(built.image.size(), c.imageSize);
    } else {
      EXPECT_FALSE(built.ok);
      EXPECT_EQ(built.message, Sjis(c.message));
    }
  }
}

struct LongNoteCase {
  std::string part;
  std::string notes;  // the events of the note kind (durations in ticks, exact)
  std::string end;    // the end of the track
};

TEST(WorkCapsTest, TimesAndDurationsBeyond32BitsStayExact) {
  const LongNoteCase cases[] = {
      // the second note starts 2^31 - 1 ticks in, not at a wrapped negative time
      {"C*2147483647C", "t=0 NOTE[60,2147483645] ch0 | t=2147483647 NOTE[60,123] ch0",
       "t=2147483772 END ch0"},
      // a 2147483647/192 whole note at tempo 120: 5592333748 ticks
      {"C%2147483647", "t=0 NOTE[60,5592333746] ch0", "t=5592333748 END ch0"},
      // a slurred tie held over more than 2^31 ticks
      {"C*2147483647&C*2147483647D", "t=0 NOTE[60,4294967292] ch0 | t=4294967294 NOTE[62,123] ch0",
       "t=4294967419 END ch0"},
  };
  for (const LongNoteCase& c : cases) {
    SCOPED_TRACE(c.part);
    seqtest::Compiled r = seqtest::CompileOne(kFormatMa1, c.part);
    ASSERT_TRUE(r.ok) << r.Message();
    EXPECT_EQ(seqtest::Dump(r.Track(0), EV_NOTE), c.notes);
    EXPECT_EQ(seqtest::Dump(r.Track(0), EV_END_OF_TRACK), c.end);
  }
}

}  // namespace
