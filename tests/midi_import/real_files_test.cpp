// MIDI files that others wrote: the music set that Debian's openttd-openmsx ships (installed by
// scripts/setup.sh). Each converts, its score compiles without a message in both formats, and
// every note the log line says was kept plays within 10 ms of its time in the file.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/midi_import/played_notes.h"
#include "tests/temp_folder.h"

namespace {

constexpr const char* kMusicSet = "/usr/share/games/openttd/baseset/openmsx";

TEST(RealFilesTest, EveryFileConvertsCompilesAndKeepsItsNotes) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kMusicSet)) {
    if (entry.path().extension() == ".mid") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 30u) << "openttd-openmsx is missing: run scripts/setup.sh";
  TempFolder folder;
  for (const bool ma2 : {true, false}) {
    for (const std::filesystem::path& file : files) {
      const std::string name = file.stem().string();
      SCOPED_TRACE(name + (ma2 ? " MA2" : " MA1"));
      const std::string midi = folder.path + "/" + name + ".mid";
      std::filesystem::copy_file(file, midi, std::filesystem::copy_options::overwrite_existing);
      std::string out;
      ASSERT_EQ(RunQuavrexc({ma2 ? "--ma2" : "--ma1", "--force", midi}, out), 0) << out;
      EXPECT_TRUE(out.ends_with(name + ".mml は正しく処理されました。\n")) << out;
      const std::string score = ReadFileBytes(folder.path + "/" + name + ".mml");
      EXPECT_EQ(std::count(score.begin(), score.end(), '\n'),
                static_cast<long>(std::regex_search(score, std::regex("[^\r]\n")) ? -1 : 0) +
                    std::count(score.begin(), score.end(), '\n'))
          << "a line ends without CR";

      std::vector<PlayedNote> wanted = NotesOfMidi(ReadFileBytes(midi), ma2);
      if (!ma2) {
        std::erase_if(wanted, [](const PlayedNote& n) { return n.channel == 9; });
      }
      const std::vector<PlayedNote> played = SoundedNotes(folder.path + "/" + name + ".MMF");
      std::smatch kept;
      size_t keptNotes = wanted.size();
      if (std::regex_search(out, kept, std::regex("のうち ([0-9]+) 個"))) {
        keptNotes = std::stoul(kept[1]);
      }
      EXPECT_EQ(played.size(), keptNotes);
      // Melodic notes outside the format's range move by octaves into it.
      std::vector<PlayedNote> moved = wanted;
      for (PlayedNote& n : moved) {
        while (n.channel != 9 && n.key < (ma2 ? 13 : 37)) {
          n.key += 12;
        }
        while (n.channel != 9 && n.key > 108) {
          n.key -= 12;
        }
      }
      // Every note played is one of the file's, within 10 ms.
      std::string misses;
      EXPECT_EQ(MatchNotes(played, moved, 10.0, false, &misses), played.size()) << misses;
    }
  }
}

}  // namespace
