// Audio-only files that ffmpeg writes (its 4-bit ADPCM encoder and .MMF muxer): the reader
// finds their audio track and waves; where ffmpeg's layout differs from ours it reports
// findings and goes on.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "reader/mmf_reader.h"
#include "tests/temp_folder.h"

namespace {

struct FfmpegCase {
  int rate;
  int waveType;
  double seconds;
};

TEST(FfmpegFileTest, AudioTrackAndWavesAreRead) {
  if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  const FfmpegCase cases[] = {{8000, 0x11, 0.5}, {4000, 0x10, 1.0}};
  TempFolder folder;
  for (const FfmpegCase& c : cases) {
    SCOPED_TRACE(c.rate);
    std::string path = folder.path + "/sine" + std::to_string(c.rate) + ".mmf";
    std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:"
        "duration=" +
        std::to_string(c.seconds) + " -ar " + std::to_string(c.rate) +
        " -ac 1 -c:a adpcm_yamaha -f mmf " + path;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    MmfFile file = ReadMmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());

    EXPECT_TRUE(file.supported);
    EXPECT_TRUE(file.tracks.empty());
    ASSERT_TRUE(file.hasAudio);
    EXPECT_EQ(file.audio.waveType, c.waveType);
    EXPECT_TRUE(file.audio.adpcm);
    EXPECT_EQ(file.audio.sampleRate, c.rate);
    EXPECT_EQ(file.audio.channels, 1);
    ASSERT_EQ(file.audio.waves.size(), 1u);
    EXPECT_EQ(file.audio.waves[0].slot, 1);
    // Two samples a byte; ffmpeg pads the last block of its encoder, so the wave may run a
    // little longer than the sine.
    const Wave& wave = file.audio.waves[0];
    EXPECT_EQ(wave.durationMs, int64_t(wave.byteCount) * 2 * 1000 / c.rate);
    EXPECT_NEAR(double(wave.durationMs), c.seconds * 1000, c.seconds * 1000 * 0.05);
    EXPECT_EQ(file.audio.waves[0].data.size(), file.audio.waves[0].byteCount);
    int directNotes = 0;
    for (const MmfEvent& e : file.audio.events) {
      if (e.kind == MmfEventKind::kDirectNote) {
        ++directNotes;
        EXPECT_EQ(e.waveSlot(), 1);
        EXPECT_NEAR(double(e.gateMs()), c.seconds * 1000, 30);
      }
    }
    EXPECT_EQ(directNotes, 1);
    // The differences from our layout (a chunk of another kind, sizes counting the CRC) are
    // findings; none of them stops the reader before the waves.
    for (const Finding& f : file.findings) {
      EXPECT_NE(f.kind, FindingKind::kNotMmf) << f.text;
      EXPECT_NE(f.kind, FindingKind::kUnknownMessage) << f.text;
    }
  }
}

}  // namespace
