// The definitions a listing prints for voice records, pasted into a score's D block, make the
// compiler write the same records again.

#include "listing/voice_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "reader/mmf_reader.h"
#include "tests/reader/compiled_score.h"
#include "tests/temp_folder.h"

namespace {

std::vector<VoiceRecord> VoicesOf(const Bytes& image) {
  MmfFile file = ReadMmf(image.data(), image.size());
  EXPECT_TRUE(IsSound(file)) << file.findings.front().text;
  std::vector<VoiceRecord> voices;
  for (const ScoreTrack& track : file.tracks) {
    voices.insert(voices.end(), track.voices.begin(), track.voices.end());
  }
  return voices;
}

// Compiles `score`, prints its records as definitions, compiles `parts` with those definitions
// as its D block, and expects the same records; returns the definitions.
std::vector<std::string> ExpectDefinitionsRecreate(const std::string& score,
                                                   const std::string& parts, bool ma2) {
  TempFolder folder;
  CompiledScore first = CompileInMemory(score, ma2, true, folder.path);
  EXPECT_TRUE(first.ok) << SjisToUtf8(first.message);
  std::vector<VoiceRecord> before = VoicesOf(first.image);
  std::vector<std::string> definitions;
  std::string block = "D[";
  for (const VoiceRecord& v : before) {
    definitions.push_back(VoiceDefinition(v));
    EXPECT_FALSE(definitions.back().empty()) << WhyNoDefinition(v);
    block += definitions.back();
  }
  CompiledScore second = CompileInMemory(block + "]" + parts, ma2, true, folder.path);
  EXPECT_TRUE(second.ok) << SjisToUtf8(second.message);
  std::vector<VoiceRecord> after = VoicesOf(second.image);
  EXPECT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    EXPECT_EQ(after[i].record, before[i].record) << definitions[i];
    EXPECT_EQ(after[i].voiceKey, before[i].voiceKey) << definitions[i];
  }
  return definitions;
}

struct FormCase {
  const char* definition;  // a D block entry
  const char* parts;       // parts that select the voice
  bool ma2;
  const char* form;  // how the listing gives it back
};

const FormCase kForms[] = {
    // named fields say everything: W@ and W4@
    {"W@5,1,2,1,3,4,1,0,1,2,1,3,0,1,9,8,7,6,40,5,6,1,1,0,1,0,2,1,1,15,14,13,12,11", "1[@5C]", true,
     "W@5,1,2,1,3,4,1,0,1,2,1,3,0,1,9,8,7,6,40,5,6,1,1,0,1,0,2,1,1,15,14,13,12,11"},
    {"W4@7,0,7,3,1,2,1,1,1,3,1,3,1,3,1,2,3,4,63,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,7,15,1,1,1,3,1,"
     "3,1,3,15,15,15,15,63,2,3,0,1,0,1,0,1,0,1,5,6,7,8,9",
     "1[@O4@7C]", true, "W4@7,0,7,3,"},
    {"V@9,0,0,2,7,2,0,3,1,0,2,1,64,15,16,16,16,8,4,4,0,0,0,1,0,1,1,1,1,1,1,0,0", "1[@9C]", true,
     "W@9,2,7,1,"},
    {"W@152,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0", "1[@152C]", true,
     "W@152,"},
    // a second byte other than 1, an algorithm a W form cannot write: X@ and X4@
    {"X@6,255,2,3,4,5,6,7,8,9,10,11,12", "1[@6C]", true, "X@6,255,2,3,4,5,6,7,8,9,10,11,12"},
    {"X@212,3,1", "1[@212C]", true, "X@212,3,1,0,0,0,0,0,0,0,0,0,0"},
    {"X4@8,3,1", "1[@O4@8C]", true, "X4@8,3,1,0,"},
    // MA1 records: Z@
    {"Z@3,1,2,3,4,5,6,7,8,9,10,11,12,255", "1[@3C]", false, "Z@3,1,2,3,4,5,6,7,8,9,10,11,12,255"},
};

TEST(VoiceDefinitionTest, EachFormRecreatesItsRecord) {
  for (const FormCase& c : kForms) {
    SCOPED_TRACE(c.definition);
    std::string score = std::string("D[") + c.definition + "]" + c.parts;
    std::vector<std::string> definitions = ExpectDefinitionsRecreate(score, c.parts, c.ma2);
    ASSERT_EQ(definitions.size(), 1u);
    EXPECT_EQ(definitions[0].rfind(c.form, 0), 0u) << definitions[0];
  }
}

// Every built-in voice, sixteen to a file (the slots of one file).
TEST(VoiceDefinitionTest, BuiltInVoicesRecreateTheirRecords) {
  std::vector<int> voices;
  for (int v = 0; v < 128; ++v) {
    voices.push_back(v);
  }
  for (int v = 152; v <= 212; ++v) {
    voices.push_back(v);
  }
  for (size_t first = 0; first < voices.size(); first += 15) {
    std::string parts = "1[";
    for (size_t i = first; i < voices.size() && i < first + 15; ++i) {
      parts += "@" + std::to_string(voices[i]) + "C";
    }
    parts += "]";
    SCOPED_TRACE(parts);
    ExpectDefinitionsRecreate(parts, parts, true);
    if (voices[std::min(first + 14, voices.size() - 1)] < 128) {
      ExpectDefinitionsRecreate(parts, parts, false);
    }
  }
}

TEST(VoiceDefinitionTest, RecordsNoScoreCanDefineGetNoDefinition) {
  VoiceRecord drumTooLow;
  drumTooLow.kind = VoiceRecordKind::kMa2TwoOp;
  drumTooLow.voice = 130;  // drum note 2
  drumTooLow.record.assign(13, 0);
  drumTooLow.record.back() = 0xF7;
  EXPECT_EQ(VoiceDefinition(drumTooLow), "");
  EXPECT_EQ(WhyNoDefinition(drumTooLow), "voice 130 cannot be defined in a score");
  VoiceRecord cut = drumTooLow;
  cut.voice = 3;
  cut.record.pop_back();
  EXPECT_EQ(VoiceDefinition(cut), "");
  EXPECT_EQ(WhyNoDefinition(cut), "the record is not complete");
}

}  // namespace
