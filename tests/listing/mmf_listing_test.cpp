// The readable listing of a small file, its JSON form and the verify line.

#include "listing/mmf_listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "listing/event_text.h"
#include "listing/mmf_json.h"
#include "reader/mmf_reader.h"
#include "tests/reader/compiled_score.h"
#include "tests/temp_folder.h"

namespace {

constexpr char kTinyScore[] = "C[ST:Tiny,CR:\x82\xA0,] 1[@V100 O4 C D O7 E]";

MmfFile ReadTiny() {
  TempFolder folder;
  CompiledScore compiled = CompileInMemory(kTinyScore, true, false, folder.path);
  EXPECT_TRUE(compiled.ok);
  return ReadMmf(compiled.image.data(), compiled.image.size());
}

TEST(MmfListingTest, GoldenListingOfASmallFile) {
  EXPECT_EQ(MmfListing(ReadTiny(), "tiny.MMF"),
            R"(tiny.MMF: 126 bytes, MA2
chunks:
  0x0000 "MMMD" size 116
    0x0008 "CNTI" size 19
    0x0023 "MTR\x01" size 79
      0x0031 "Mtsu" size 21
      0x004E "Mtsq" size 36
contents: class 0x00, type 0x00, code 0x00, status 0x01, copy 0x00
  ST: Tiny
  CR: あ
score track 1 at 0x0023: duration 4 ms/tick (code 0x02), gate 4 ms/tick (code 0x02)
  voices:
    0x0039 slot 0: W@0,1,4,0,0,1,1,0,0,2,0,2,0,2,15,2,4,5,14,0,1,1,0,0,0,0,2,0,2,15,2,7,6,0
  events:      tick      time  ch  event
    0x0057         0     0.000   1  voice 0 (bank 0x00, program 0)
    0x005F         0     0.000   1  volume 100
    0x0063         0     0.000   1  window 0 (notes O2 C# to O6 C)
    0x0067         0     0.000   1  note O4 C gate 123 (0.492 s)
    0x006A       125     0.500   1  note O4 D gate 123 (0.492 s)
    0x006D       250     1.000   1  window +2 (notes O4 C# to O8 C)
    0x0071       250     1.000   1  note O7 E gate 123 (0.492 s)
    0x0074       375     1.500   -  FF 00
    0x0076       375     1.500   -  end of sequence
CRC: stored 0xF4C7, computed 0xF4C7, match; EzGet trailer 1D 0F
findings: none, the file is sound
)");
}

struct NoteNameCase {
  int note;
  const char* name;
};

TEST(MmfListingTest, NoteNamesAsAScoreWritesThem) {
  const NoteNameCase cases[] = {{60, "O4 C"},  {61, "O4 C#"}, {37, "O2 C#"}, {108, "O8 C"},
                                {13, "O0 C#"}, {0, "O-1 C"},  {71, "O4 B"}};
  for (const NoteNameCase& c : cases) {
    EXPECT_EQ(NoteName(c.note), c.name);
  }
}

TEST(MmfListingTest, VerifyLineGivesTheFirstFinding) {
  MmfFile file = ReadTiny();
  EXPECT_EQ(VerifyLine(file, "tiny.MMF"), "tiny.MMF: sound");
  file.findings.push_back({FindingKind::kCrcMismatch, 0x7A, "stored CRC 0x0000"});
  file.findings.push_back({FindingKind::kTruncated, 0x80, "later"});
  EXPECT_EQ(VerifyLine(file, "tiny.MMF"), "tiny.MMF: byte 0x007A: stored CRC 0x0000");
}

// The JSON form is well-formed (checked by Python's parser where it is installed) and carries
// the keys the README lists.
TEST(MmfJsonTest, WellFormedWithTheDocumentedKeys) {
  std::string json = MmfJson(ReadTiny(), "tiny \"quoted\".MMF");
  for (const char* key :
       {"\"file\":\"tiny \\\"quoted\\\".MMF\"", "\"format\":\"MA2\"", "\"sound\":true",
        "\"chunks\":[", "\"contents\":{", "\"value\":\"あ\"", "\"tracks\":[", "\"voices\":[",
        "\"definition\":\"W@0,", "\"operators\":[", "\"events\":[", "\"kind\":\"note\"",
        "\"name\":\"O7 E\"", "\"gateMs\":492", "\"crc\":{", "\"ezget\":true", "\"findings\":[]"}) {
    EXPECT_NE(json.find(key), std::string::npos) << key;
  }
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 is not installed";
  }
  TempFolder folder;
  std::string path = folder.Put("tiny.json", json);
  EXPECT_EQ(std::system(("python3 -m json.tool " + path + " >/dev/null").c_str()), 0);
}

// Texts are quoted with escapes wherever the bytes that need them stand.
TEST(MmfJsonTest, TextsAreEscapedWhereverTheBytesStand) {
  struct QuoteCase {
    const char* name;
    const char* quoted;
  };
  const QuoteCase kCases[] = {
      {"", R"("")"},
      {"\"", R"("\"")"},
      {"a\\b\"", R"("a\\b\"")"},
      {"\x01mid\x1F", R"("\u0001mid\u001F")"},
      {"\n\t\x7F\xE3\x81\x82", R"("\u000A\u0009)"
                               "\x7F\xE3\x81\x82\""},
  };
  const MmfFile file = ReadTiny();
  for (const QuoteCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MmfJson(file, c.name).rfind(std::string("{\"file\":") + c.quoted + ",", 0), 0u);
  }
}

}  // namespace
