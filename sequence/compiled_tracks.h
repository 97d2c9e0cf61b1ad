#ifndef QUAVREX_SEQUENCE_COMPILED_TRACKS_H_
#define QUAVREX_SEQUENCE_COMPILED_TRACKS_H_

#include <array>
#include <cstdint>
#include <vector>

#include "core/compile_fault.h"
#include "core/compile_limits.h"
#include "core/seq_event.h"
#include "frontend/split_score.h"

// Where a "T" command took effect: from `time` (fine units) on, `tempo` beats a minute.
struct TempoChange {
  int64_t time = 0;
  int tempo = 120;
};

// The part texts compiled into the events of the tracks, in track order.
struct CompiledTracks {
  std::array<EventList, 4> trackEvents;  // track t holds sequence slots 4t to 4t+3
  EventList adpcmEvents;
  std::vector<int> usedVoices;  // the voices selected (bank * 256 + number), once each, sorted
  // The tempo from the start and at every change, in time order (for a MIDI file's tempo map).
  std::vector<TempoChange> tempoChanges;
  std::array<uint8_t, kPartSlots> partUsed{};  // 1: the slot sounded a note
  std::array<int, kWaveSlots> waveUsed{};      // 1: the A part played the wave slot
  // Per sequence slot: the voice it selected (-1: none) and the compass of its notes (MA1;
  // a slot without notes has the highest 0 and the lowest 108).
  std::array<int, kSequenceSlots> channelVoice = Filled(-1);
  std::array<int, kSequenceSlots> noteHigh = Filled(0);
  std::array<int, kSequenceSlots> noteLow = Filled(108);

 private:
  static constexpr std::array<int, kSequenceSlots> Filled(int value) {
    std::array<int, kSequenceSlots> values{};
    values.fill(value);
    return values;
  }
};

// Compiles all part slots together in time order, so that one tempo governs every part, and
// completes the tracks. The part texts of `score` are worked on in place (a portamento group
// or a tie may rewrite the text ahead of the cursor). A fault of a part is placed in its
// expanded text and carries the pieces of its block.
StageResult<CompiledTracks> CompileParts(SplitScore& score);

#endif  // QUAVREX_SEQUENCE_COMPILED_TRACKS_H_
