// Scores compiled, exported with --midi, converted back and compiled again play the same notes:
// channel, key, program, start and end within one tick (4 ms).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/midi_import/played_notes.h"
#include "tests/temp_folder.h"

namespace {

struct RoundTripCase {
  const char* name;
  bool ma2;
  const char* score;
};

const RoundTripCase kRoundTrips[] = {
    // normal-mode notes, one tempo
    {"scale", true, "1[T120 L8 O4 @5 cdef gab>c <b4 g4 e2 r4 c4.. r16]"},
    {"ma1", false, "1[T96 L8 O4 @3 cdefg4 r4 e16f16g16a16 b2] 2[O3 L4 c g e g c1]"},
    // several tempos, changing between notes of several parts
    {"tempos", true,
     "1[T90 L8 O5 @40 c d e f T150 g a b >c T72 <c4 r8 e8 g2] "
     "2[L4 O3 @32 c c g g c c g g2 c2] 3[L2 O4 @48 e g e g e1]"},
    {"triplets", true, "1[T132 L12 O4 ccc ddd eee c4 {cde}4 {efg}8 r8 g2.]"},
    // the rhythm part beside melodic parts
    {"rhythm", true,
     "1[T110 L8 O4 @0 c e g e c e g e] "
     "2[N10 L8 O2 c r f+ r d r f+ r c c f+ r d r a+4]"},
    // drum voices played by a part, with simultaneous hits of the rhythm part
    {"drum voices", true,
     "1[T128 L4 O5 @73 c d e f] 2[N10 L8 O2 f+ f+ f+ f+ f+ f+ f+ f+] "
     "3[L4 O2 @164 c @166 d @164 c @166 d]"},
};

TEST(RoundTripTest, ScoreToMidiAndBackPlaysTheSameNotes) {
  for (const RoundTripCase& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string format = c.ma2 ? "--ma2" : "--ma1";
    std::string out;
    ASSERT_EQ(RunQuavrexc({format, "--midi", folder.Put("song.mml", c.score)}, out), 0) << out;
    std::filesystem::copy_file(folder.path + "/song.mid", folder.path + "/back.mid");
    ASSERT_EQ(RunQuavrexc({format, folder.path + "/back.mid"}, out), 0) << out;
    EXPECT_EQ(out, "back.mml は正しく書き出されました。\nback.mml は正しく処理されました。\n");

    const std::vector<PlayedNote> before = NotesOfMmf(folder.path + "/song.MMF");
    const std::vector<PlayedNote> after = NotesOfMmf(folder.path + "/back.MMF");
    std::string misses;
    EXPECT_EQ(MatchNotes(before, after, 4.0, true, &misses), before.size())
        << misses << ReadFileBytes(folder.path + "/back.mml");
    EXPECT_EQ(after.size(), before.size());
  }
}

}  // namespace
