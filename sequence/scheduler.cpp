// The part scheduler: compiles all part slots together in time order, so that one tempo
// governs every part, then completes the tracks and hands over to the setup chunk.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#include "core/bytes.h"
#include "core/text_functions.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"

namespace {

// Every part slot, one bit each.
constexpr uint32_t kAllSlots = (1u << kPartSlots) - 1;

// Where the scheduler stands in each slot.
struct SlotProgress {
  std::array<size_t, kPartSlots> cursor{};
  std::array<int64_t, kPartSlots> time{};  // fine units
  uint32_t done = 0;

  bool IsDone(int slot) const { return (done >> slot & 1u) != 0; }
  void MarkDone(int slot) { done |= 1u << slot; }
  // The slots still compiling.
  uint32_t Live() const { return ~done & kAllSlots; }
};

// The text a slot compiles: a sequence part, or the ADPCM part for kAdpcmSlot.
std::string& TextOf(PartCompiler& mc, int slot) {
  return slot == kAdpcmSlot ? mc.score.adpcmText : mc.score.partText[slot];
}

// Done masks: MA1 compiles slots 0-3 only; MA2 compiles slots 0-16.
constexpr uint32_t kMa1StartMask = 0xFFFFFFF0u;
constexpr uint32_t kMa2StartMask = 0xFFFE0000u;
constexpr uint32_t kAllDone = 0xFFFFFFFFu;

constexpr int kMa1DefaultVolume = 96;

// Calls `visit` with each slot of `mask`, lowest first.
template <typename Visit>
void ForEachSlot(uint32_t mask, Visit visit) {
  for (; mask != 0; mask &= mask - 1) {
    visit(std::countr_zero(mask));
  }
}

bool InChain(const PartCompiler& mc, int slot) {
  return slot < kSequenceSlots && mc.slots[slot].glide.active;
}

// True when the look-ahead after the slot's last note found no "T" before its next note.
bool TempoFree(const PartCompiler& mc, int slot, size_t cursor) {
  return slot < kSequenceSlots && cursor >= mc.slots[slot].tempoFreeFrom &&
         cursor < mc.slots[slot].tempoFreeUntil;
}

// The earliest time among the slots not done yet, and the slots standing there.
struct NextPass {
  int64_t time = std::numeric_limits<int64_t>::max();
  uint32_t due = 0;
};
NextPass FindNextPass(const SlotProgress& progress) {
  NextPass next;
  ForEachSlot(progress.Live(), [&](int k) {
    if (progress.time[k] < next.time) {
      next.time = progress.time[k];
      next.due = 1u << k;
    } else if (progress.time[k] == next.time) {
      next.due |= 1u << k;
    }
  });
  return next;
}

// Compiles one step of slot `k`; false when the compile stops.
bool StepSlot(PartCompiler& mc, SlotProgress& progress, int k) {
  std::string& text = TextOf(mc, k);
  bool stepped = k == kAdpcmSlot ? mc.CompileAdpcmStep(text, progress.cursor[k], progress.time[k])
                 : mc.slots[k].glide.active
                     ? mc.CompileChainStep(k, text, progress.cursor[k], progress.time[k])
                     : mc.CompileSequenceStep(k, text, progress.cursor[k], progress.time[k]);
  if ((!stepped || mc.eventCapSlot >= 0) && !mc.CheckEventCap(stepped)) {
    return false;
  }
  // The slot is done once its text is read and no chain is left to sound.
  if (progress.cursor[k] >= text.size() && !InChain(mc, k)) {
    progress.MarkDone(k);
  }
  return true;
}

// One pass over the slots standing at the earliest time: first the tempo of each (a
// "T" in any part sets the length of the notes that all parts start at this moment; the higher
// slot wins), then one note or rest of each of those slots, in slot order. Only the live slots
// are looked at: a single long part would otherwise spend its time walking sixteen idle ones.
bool RunPass(PartCompiler& mc, SlotProgress& progress, const NextPass& pass) {
  const int64_t now = pass.time;
  uint32_t due = pass.due;
  ForEachSlot(due, [&](int k) {
    // A portamento chain holds no "T": a slot sounding one has none to apply.
    if (!TempoFree(mc, k, progress.cursor[k]) && !InChain(mc, k)) {
      mc.ScanTempo(TextOf(mc, k), progress.cursor[k]);  // a bad "T" is reported by the step
    }
  });
  std::vector<TempoChange>& changes = mc.tracks.tempoChanges;
  if (!changes.empty() && changes.back().time == now) {
    changes.back().tempo = mc.tempo;
  } else if (changes.empty() || changes.back().tempo != mc.tempo) {
    changes.push_back({now, mc.tempo});
  }
  for (; due != 0; due &= due - 1) {
    if (!StepSlot(mc, progress, std::countr_zero(due))) {
      return false;
    }
  }
  return true;
}

// MA1 channels that sounded without selecting a voice or volume get the defaults at time 0.
// The stored voice and volume stay -1: the channel never selected them itself.
void AddMa1Defaults(PartCompiler& mc, int track) {
  for (int c = 0; c < 4; ++c) {
    int slot = 4 * track + c;
    if (mc.tracks.partUsed[slot] == 0) {
      continue;
    }
    if (mc.slots[slot].channelVoice == -1) {
      mc.AddEvent(mc.tracks.trackEvents[track], slot, 0, EV_VOICE, {0, 0}, c);
      mc.tracks.usedVoices.push_back(0);
    }
    if (mc.slots[slot].channelVolume == -1) {
      mc.AddEvent(mc.tracks.trackEvents[track], slot, 0, EV_VOLUME, {kMa1DefaultVolume}, c);
    }
  }
}

// Ends every track that has events after the last of its four slots, on its lowest sounding
// channel (-1 when none sounded); the ADPCM track after its last note or rest. These events
// count toward the event cap like any other: one refused fails the compile with the label of
// the track's part (the first part of the track when none sounded).
bool CompleteTracks(PartCompiler& mc, const SlotProgress& progress) {
  for (int t = 0; t < 4; ++t) {
    if (mc.tracks.trackEvents[t].empty()) {
      continue;
    }
    int64_t last = 0;
    int first = -1;
    for (int c = 3; c >= 0; --c) {
      last = std::max(last, progress.time[4 * t + c]);
      if (mc.tracks.partUsed[4 * t + c] != 0) {
        first = c;
      }
    }
    if (mc.format == kFormatMa1) {
      AddMa1Defaults(mc, t);
    }
    mc.AddEvent(mc.tracks.trackEvents[t], 4 * t + std::max(first, 0), TicksOf(last),
                EV_END_OF_TRACK, {}, first);
  }
  if (mc.tracks.partUsed[kAdpcmSlot] != 0) {
    mc.AddEvent(mc.tracks.adpcmEvents, kAdpcmSlot, TicksOf(progress.time[kAdpcmSlot]),
                EV_END_OF_TRACK, {}, 0);
  }
  return mc.CheckEventCap(true);
}

}  // namespace

bool PartCompiler::CompileParts() {
  SlotProgress progress;
  progress.done = format == kFormatMa1 ? kMa1StartMask : kMa2StartMask;
  // A slot without text has nothing to compile.
  ForEachSlot(progress.Live(), [&](int k) {
    if (TextOf(*this, k).empty()) {
      progress.MarkDone(k);
    }
  });
  // The first pass runs even when no slot has text: it records the starting tempo.
  NextPass pass{0, progress.Live()};
  bool compiled = true;
  do {
    compiled = RunPass(*this, progress, pass);
    pass = FindNextPass(progress);
  } while (compiled && progress.done != kAllDone);
  if (!compiled || !CompleteTracks(*this, progress)) {
    return false;
  }
  // The compile is over, so no handle is needed any more: the lists take their track order.
  for (EventList& track : tracks.trackEvents) {
    track.Sort();
  }
  tracks.adpcmEvents.Sort();
  // The setup chunk writes each selected voice once, in key order.
  std::sort(tracks.usedVoices.begin(), tracks.usedVoices.end());
  tracks.usedVoices.erase(std::unique(tracks.usedVoices.begin(), tracks.usedVoices.end()),
                          tracks.usedVoices.end());
  for (int slot = 0; slot < kSequenceSlots; ++slot) {
    tracks.channelVoice[slot] = slots[slot].channelVoice;
    tracks.noteHigh[slot] = slots[slot].noteHigh;
    tracks.noteLow[slot] = slots[slot].noteLow;
  }
  return true;
}

bool PartCompiler::ScanTempo(const std::string& text, size_t start) {
  for (size_t p = start; p < text.size(); ++p) {
    uint8_t c = ByteAt(text, p);
    bool letter = (c >= 'A' && c <= 'J') || c == 'R';
    if (letter && (p == 0 || text[p - 1] != '@')) {
      return true;  // the next note or rest of the slot
    }
    if (c == 'T') {
      size_t q = p + 1;
      const int value = ReadNumber(text, q);
      if (value <= 0) {
        return false;
      }
      tempoFactor = 600000000 / value / 128;
      tempo = value;
      p = q;  // the loop steps past the last digit
    }
  }
  return true;
}
