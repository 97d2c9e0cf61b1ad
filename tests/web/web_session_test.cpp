// The page's session: the piano roll's notes as the .MMF holds them, the channels that the
// compile gives the parts, the render's muting, and the exports' log lines.

#include "web/web_session.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/temp_folder.h"

namespace {

WebCompileResult Compiled(const std::string& score, bool ma2, const std::string& folder) {
  WebCompileRequest request;
  request.name = "roll.mml";
  request.score = score;
  request.options.ma2 = ma2;
  WebCompileResult result = CompileScore(request, folder);
  EXPECT_TRUE(result.written) << result.log;
  return result;
}

struct NotesCase {
  const char* score;
  bool ma2;
  const char* notes;  // NotesOfMmf's text, line breaks left out
};

const NotesCase kNotesCases[] = {
    // ordinary notes: key numbers, the gate's end
    {"1[T120 L4 O4 C D]", false,
     "[{\"part\":1,\"startSec\":0,\"endSec\":0.492,\"pitch\":60,\"glide\":null},"
     "{\"part\":1,\"startSec\":0.5,\"endSec\":0.992,\"pitch\":62,\"glide\":null}]"},
    // a detuned note is a frequency-mode note of a fractional pitch, without a glide
    {"1[T120 L4 O4 @K8 C]", true,
     "[{\"part\":1,\"startSec\":0,\"endSec\":0.492,\"pitch\":60.5012,\"glide\":null}]"},
    // the compiler puts part 3 on the second channel
    {"1[T120 C] 3[T120 D]", true,
     "[{\"part\":1,\"startSec\":0,\"endSec\":0.492,\"pitch\":60,\"glide\":null},"
     "{\"part\":2,\"startSec\":0,\"endSec\":0.492,\"pitch\":62,\"glide\":null}]"},
};

TEST(WebSessionTest, NotesAreTheMmfsNotes) {
  TempFolder folder;
  for (const NotesCase& c : kNotesCases) {
    SCOPED_TRACE(c.score);
    std::string notes = NotesOfMmf(Compiled(c.score, c.ma2, folder.path).mmf);
    std::erase(notes, '\n');
    EXPECT_EQ(notes, c.notes);
  }
}

TEST(WebSessionTest, PortamentoIsOneNoteWhosePitchGlides) {
  TempFolder folder;
  const std::string notes = NotesOfMmf(Compiled("1[T120 L4 O4 (CE)2]", true, folder.path).mmf);
  // One note from C to E: its glide starts at its pitch and climbs to E.
  EXPECT_EQ(notes.find("\"part\""), notes.rfind("\"part\""));
  EXPECT_NE(notes.find("\"pitch\":59.9814,\"glide\":[[0,59.9814],"), std::string::npos) << notes;
  EXPECT_NE(notes.find("[0.948,63.9797]]"), std::string::npos) << notes;
}

TEST(WebSessionTest, ChannelsNameTheirParts) {
  TempFolder folder;
  const WebCompileResult result = Compiled("1[C] 3[D]", true, folder.path);
  EXPECT_EQ(result.channelParts[0], "1");
  EXPECT_EQ(result.channelParts[1], "3");
  EXPECT_EQ(result.channelParts[2], "");
}

TEST(WebSessionTest, MutedPartsAddUpToTheWhole) {
  TempFolder folder;
  const Bytes mmf = Compiled("1[T120 L4 O4 C D] 3[T120 L4 O3 E F]", true, folder.path).mmf;
  const WebRender whole = RenderMmfAudio(mmf, 8000, {});
  const WebRender first = RenderMmfAudio(mmf, 8000, {"2", "A"});
  const WebRender second = RenderMmfAudio(mmf, 8000, {"1"});
  ASSERT_FALSE(whole.samples.empty());
  ASSERT_EQ(first.samples.size(), second.samples.size());
  ASSERT_GE(first.samples.size(), whole.samples.size());
  float largest = 0;
  for (size_t i = 0; i < whole.samples.size(); ++i) {
    largest = std::max(largest, std::abs(first.samples[i] + second.samples[i] - whole.samples[i]));
  }
  EXPECT_LE(largest, 2.5F / 32768);  // rounding of each render to 16 bits
  EXPECT_EQ(RenderMmfAudio(mmf, 8000, {"1", "2"}).samples.size(), first.samples.size());
}

TEST(WebSessionTest, WhatCannotBePlayedSaysWhy) {
  const Bytes junk = {'n', 'o', 't', ' ', 'M', 'M', 'F'};
  EXPECT_EQ(DurationOfMmf(junk), -1.0);
  EXPECT_EQ(RenderMmfAudio(junk, 44100, {}).error, "再生できるMMFファイルではありません。");
  const WebExport wav = WavOfMmf(junk, 44100);
  EXPECT_TRUE(wav.bytes.empty());
  EXPECT_EQ(wav.log, "tune.wav 再生できるMMFファイルではありません。");
  EXPECT_TRUE(MidiOfMmf(junk).bytes.empty());
}

}  // namespace
