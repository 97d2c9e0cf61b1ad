// Where the compile job says a fault lies: the line and column (characters, from 1) that a
// failed compile reports beside its log line, through the splitter's blocks, repeats and
// portamento rewrites.

#include "job/fault_locator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sjis.h"
#include "job/compile_job.h"

namespace {

// Sources from memory; the places reported are kept.
class PlaceServices : public CompileServices {
 public:
  std::string source;
  std::vector<FaultLocation> faults;

  bool ReadWholeFile(const std::string& /*path*/, std::string& bytes) override {
    bytes = source;
    return true;
  }
  WriteResult WriteWholeFile(const std::string& /*path*/, const Bytes& /*data*/) override {
    return WriteResult::kOk;
  }
  void Sleep(int /*milliseconds*/) override {}
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& /*text*/) override {}
  void FaultLocated(const FaultLocation& fault) override { faults.push_back(fault); }
};

struct PlaceCase {
  bool ma2;
  const char* score;  // UTF-8; compiled as Shift-JIS
  int line;           // 0: the fault has no place
  int column;
};

const PlaceCase kPlaceCases[] = {
    // the number out of range, or the command when its number is missing
    {false, "1[V16C]", 1, 4},
    {false, "1[VC]", 1, 3},
    {true, "1[ @k~600 c ]", 1, 7},
    {false, "1[ c4^0 ]", 1, 7},
    // after multi-byte text: columns count characters
    {false, "タイトル 1[ v16 ]", 1, 10},
    {false, "曲\r\n1[ c 音 ]", 2, 6},
    // marks whose Shift-JIS lead byte is the first of the range
    {false, "ー、。・ 1[ v16 ]", 1, 10},
    // the second of two blocks of one part, after free text
    {false, "1[ cde ]\nfree text\n1[ fg\n  v16 ]", 4, 4},
    // blocks of other kinds taken out before the part
    {true, "C[ ST:x, ]1[ c ]D[ @A0 ]F[ S8 ]1[ @v200 ]", 1, 37},
    // inside repeats: the third pass fails (o9), at the command inside the repeat
    {false, "1[ o6 |:3 > c :| ]", 1, 13},
    {false, "1[ |:2 c |:2 d @v200 :| :| ]", 1, 18},
    // repeat marks
    {false, "1[ c |:1 d :| ]", 1, 8},
    {false, "1[ c |: d ]", 1, 6},
    {false, "1[ c d :| ]", 1, 8},
    // portamento: the rewritten group, and the commands after it
    {false, "1[ o7 (C>>C)4 ]", 1, 7},
    {false, "1[ (CE)4 v16 ]", 1, 11},
    {true, "1[ (CE)4 (EG)8 c0 ]", 1, 17},
    {true, "1[ (C,E)4,0 ]", 1, 4},
    // tuplets: the member at fault, the group's length
    {false, "1[ {c8d}4 ]", 1, 5},
    {false, "1[ {cd}0 ]", 1, 8},
    // part placement (MA2)
    {true, "1[ @o3 c ]", 1, 6},
    {true, "1[ n9 c ]", 1, 5},
    {true, "1[ n10 c ]2[ n10 d ]", 1, 14},
    // D block: the value at fault
    {false, "D[ @L7 ]\n1[ c ]", 1, 6},
    {false, "D[ @A0 ]\nD[\n @R9 ]", 3, 4},
    {true, "D[ X@1,300 ]", 1, 8},
    {true, "D[ W@1,1 ]", 1, 4},
    // a voice number out of range from its first digit, a 0 among them; none: the form
    {false, "D[ Z@0128 ]", 1, 6},
    {true, "D[ X4@0300 ]", 1, 7},
    {true, "D[ W@ ]", 1, 4},
    // F block
    {true, "F[ S5 ]", 1, 5},
    {true, "F[ A<a.adp> Q ]", 1, 13},
    // contents block: the value without its comma, the escape
    {false, "C[ ST:abc ]", 1, 7},
    {false, "C[ ST:\\xZZ, ]", 1, 7},
    // A part
    {true, "F[ A<a.adp> ]\nA[ r B ]", 2, 6},
    // an unclosed block points at its header
    {false, "\n\n  1[ cde", 3, 3},
    // no place: no note data, the operator budget
    {false, "", 0, 0},
    {true, "1[@o4c]2[@o4c]3[@o4c]4[@o4c]5[@o4c]6[@o4c]7[@o4c]8[@o4c]9[c]", 0, 0},
};

// Each score is compiled from its Shift-JIS bytes and from its UTF-8 bytes: the place is the
// same, since columns count characters.
TEST(FaultLocatorTest, LineAndColumnOfEachFault) {
  for (const PlaceCase& c : kPlaceCases) {
    for (const ScoreEncoding encoding : {ScoreEncoding::kShiftJis, ScoreEncoding::kUtf8}) {
      SCOPED_TRACE(c.score);
      SCOPED_TRACE(encoding == ScoreEncoding::kUtf8 ? "UTF-8" : "Shift-JIS");
      PlaceServices services;
      services.source = encoding == ScoreEncoding::kUtf8 ? std::string(c.score) : Sjis(c.score);
      CompileOptions options;
      options.ma2 = c.ma2;
      options.encoding = encoding;
      std::string log;
      EXPECT_EQ(CompileFile("/score.mml", options, log, services), CompileOutcome::kCompileError);
      if (c.line == 0) {
        EXPECT_TRUE(services.faults.empty());
        continue;
      }
      ASSERT_EQ(services.faults.size(), 1u);
      const FaultLocation& fault = services.faults[0];
      EXPECT_EQ(fault.position.line, c.line);
      EXPECT_EQ(fault.position.column, c.column);
      EXPECT_EQ(fault.path, "/score.mml");
      EXPECT_EQ("score.mml " + fault.message + "\r\n", log);  // the log line's own message
    }
  }
}

}  // namespace
