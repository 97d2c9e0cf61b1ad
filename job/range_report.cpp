#include "job/range_report.h"

#include <array>
#include <cstdint>

#include "core/messages.h"
#include "core/sjis.h"

namespace {

// Octave offset k of each MA1 voice, sixteen voices a row.
constexpr std::array<uint8_t, 128> kVoiceOctave = {
    1, 1, 1, 1, 1, 1, 2, 1, 3, 3, 2, 1, 2, 3, 1, 1,  // 0-15
    1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 3,  // 16-31
    0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 1, 2, 1, 0,  // 32-47
    2, 2, 2, 2, 1, 1, 1, 1, 2, 1, 0, 1, 1, 1, 1, 1,  // 48-63
    2, 1, 1, 0, 1, 1, 0, 1, 3, 2, 2, 2, 1, 1, 2, 2,  // 64-79
    2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 80-95
    1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1,  // 96-111
    1, 2, 1, 2, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,  // 112-127
};

// Pieces of the report lines; each line is "パート" + part name + one clause.
namespace jm = messages::job;

// The octave of note n, counted from C sharp: C sharp of octave 2 (37) up to C of octave 3
// (48) is octave 2. Division truncates toward zero, as for the empty channel's high mark 0.
int OctaveOf(int note) { return (note - 1) / 12 - 1; }

std::string VoiceRangeClause(int voice, int offset) {
  return std::string(jm::kVoiceRangeHead) + std::to_string(voice) +
         std::string(jm::kVoiceRangeLow) + std::to_string(offset + 2) +
         std::string(jm::kVoiceRangeHigh) + std::to_string(offset + 5) +
         std::string(jm::kVoiceRangeTail);
}

}  // namespace

int VoiceOctaveOffset(int voice) { return kVoiceOctave[static_cast<size_t>(voice)]; }

std::string MakeRangeReport(const SplitScore& score, const CompiledTracks& tracks) {
  std::string report;
  for (int ch = 0; ch < 4; ++ch) {
    int high = OctaveOf(tracks.noteHigh[ch]);
    int low = OctaveOf(tracks.noteLow[ch]);
    const std::string& name = score.partName[ch];
    if (high - low > 2) {
      report += Sjis(jm::kRangePart) + name + Sjis(jm::kSpanTooWide);
    } else if (low < 2) {
      report += Sjis(jm::kRangePart) + name + Sjis(jm::kTooLow);
    }
    // A channel without a voice command plays the default voice 0.
    int voice = tracks.channelVoice[ch] < 0 ? 0 : tracks.channelVoice[ch];
    if (voice > 127) {
      continue;
    }
    int offset = VoiceOctaveOffset(voice);
    if (low < offset + 2 || high > offset + 4) {
      report += Sjis(jm::kRangePart) + name + Sjis(VoiceRangeClause(voice, offset));
    }
  }
  return report;
}
