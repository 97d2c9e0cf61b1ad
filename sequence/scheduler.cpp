// The part scheduler: compiles all part slots together in time order, so that one tempo
// governs every part, then completes the tracks and hands over to the setup chunk.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "core/bytes.h"
#include "core/compiler.h"
#include "frontend/text_functions.h"
#include "sequence/length_reader.h"

namespace {

// Done masks: MA1 compiles slots 0-3 only; MA2 compiles slots 0-16.
constexpr uint32_t kMa1StartMask = 0xFFFFFFF0u;
constexpr uint32_t kMa2StartMask = 0xFFFE0000u;
constexpr uint32_t kAllDone = 0xFFFFFFFFu;

constexpr int kMa1DefaultVolume = 96;

// Where the scheduler stands in each slot.
struct SlotProgress {
  std::array<size_t, kPartSlots> cursor{};
  std::array<int64_t, kPartSlots> time{};  // fine units
  uint32_t done = 0;

  bool IsDone(int slot) const { return (done >> slot & 1u) != 0; }
  void MarkDone(int slot) { done |= 1u << slot; }
};

// The earliest time among the slots not done yet.
int64_t EarliestTime(const SlotProgress& progress) {
  int64_t earliest = std::numeric_limits<int64_t>::max();
  for (int k = 0; k < kPartSlots; ++k) {
    if (!progress.IsDone(k)) {
      earliest = std::min(earliest, progress.time[k]);
    }
  }
  return earliest;
}

}  // namespace

bool CMmlCompiler::CompileParts() {
  auto textOf = [this](int slot) -> std::string& {
    return slot == kAdpcmSlot ? m_adpcmPartText : m_partText[slot];
  };
  SlotProgress progress;
  progress.done = m_format == kFormatMa1 ? kMa1StartMask : kMa2StartMask;
  int64_t now = 0;
  while (progress.done != kAllDone) {
    // Tempo first, over every slot at the current time: a "T" in any part also sets the
    // length of the notes that the lower slots start at this moment. The higher slot wins.
    for (int k = 0; k < kPartSlots; ++k) {
      if (!textOf(k).empty() && !progress.IsDone(k) && progress.time[k] == now) {
        ScanTempo(textOf(k), progress.cursor[k]);  // a bad "T" is reported by the step
      }
    }
    // Then one note or rest of each slot at the current time, in slot order.
    for (int k = 0; k < kPartSlots; ++k) {
      std::string& text = textOf(k);
      if (text.empty()) {
        progress.MarkDone(k);
        continue;
      }
      if (progress.IsDone(k)) {
        continue;
      }
      if (progress.time[k] == now) {
        bool stepped = k == kAdpcmSlot
                           ? CompileAdpcmStep(text, progress.cursor[k], progress.time[k])
                           : CompileSequenceStep(k, text, progress.cursor[k], progress.time[k]);
        if (!stepped) {
          return false;
        }
      }
      if (progress.cursor[k] >= text.size()) {
        progress.MarkDone(k);
      }
    }
    now = EarliestTime(progress);
  }

  // Track completion: the MA1 default voice and volume, and the end of every track.
  for (int t = 0; t < 4; ++t) {
    EventSet& events = m_trackEvents[t];
    if (events.empty()) {
      continue;
    }
    int64_t last = 0;
    int first = -1;  // the end event goes on the lowest sounding channel, -1 when none sounded
    for (int c = 3; c >= 0; --c) {
      int slot = 4 * t + c;
      last = std::max(last, progress.time[slot]);
      if (m_partUsed[slot] != 0) {
        first = c;
      }
    }
    if (m_format == kFormatMa1) {
      // The stored voice and volume stay -1: the channel never selected them itself.
      for (int c = 0; c < 4; ++c) {
        int slot = 4 * t + c;
        if (m_partUsed[slot] == 0) {
          continue;
        }
        if (m_channelVoice[slot] == -1) {
          events.insert(MakeEvent(0, EV_VOICE, {0, 0}, c));
          m_usedVoices.push_back(0);
        }
        if (m_channelVolume[slot] == -1) {
          events.insert(MakeEvent(0, EV_VOLUME, {kMa1DefaultVolume}, c));
        }
      }
    }
    events.insert(MakeEvent(TicksOf(last), EV_END_OF_TRACK, {}, first));
  }
  if (m_partUsed[kAdpcmSlot] != 0) {
    m_adpcmEvents.insert(MakeEvent(TicksOf(progress.time[kAdpcmSlot]), EV_END_OF_TRACK, {}, 0));
  }

  std::sort(m_usedVoices.begin(), m_usedVoices.end());
  m_usedVoices.erase(std::unique(m_usedVoices.begin(), m_usedVoices.end()), m_usedVoices.end());
  return BuildSetupChunk();
}

bool CMmlCompiler::ScanTempo(const std::string& text, size_t start) {
  for (size_t p = start; p < text.size(); ++p) {
    uint8_t c = ByteAt(text, p);
    bool letter = (c >= 'A' && c <= 'J') || c == 'R';
    if (letter && (p == 0 || text[p - 1] != '@')) {
      return true;  // the next note or rest of the slot
    }
    if (c == 'T') {
      size_t q = p + 1;
      int tempo = ReadNumber(text, q);
      if (tempo <= 0) {
        return false;
      }
      m_tempoFactor = 600000000 / tempo / 128;
      p = q;  // the loop steps past the last digit
    }
  }
  return true;
}
