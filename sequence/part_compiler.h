#ifndef QUAVREX_SEQUENCE_PART_COMPILER_H_
#define QUAVREX_SEQUENCE_PART_COMPILER_H_

// The working state of the part compilers, shared by the files of sequence/ and not used
// outside it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/compile_fault.h"
#include "core/compile_limits.h"
#include "core/seq_event.h"
#include "frontend/split_score.h"
#include "sequence/compiled_tracks.h"
#include "sequence/glide_chain.h"

// Where one part slot stands: the values its commands set so far.
struct SlotState {
  int transpose = 0;
  int detune = 0;
  int defaultLength = 320000;  // score units
  int octave = 4;
  int gate = 8;
  int channelVoice = -1;   // -1 until the part selects a voice
  int channelVolume = -1;  // -1 until the part sets a volume
  uint8_t tupletOpen = 0;
  // >= 0: score units; < 0: the negated length of one member in fine units.
  int64_t tupletNoteLength = 0;
  uint8_t legatoPending = 0;
  int64_t carryLength = 0;  // the sub-tick rest a portamento hands to the next note
  int noteHigh = 0;         // the compass of the notes sounded (for the MA1 range report)
  int noteLow = 108;
  int heldNote = -1;  // the note number of a slurred note held open, or -1
  int64_t heldStart = 0;
  // Written before it is read: valid while `heldNote` is not -1.
  EventList::Handle heldEvent = 0;
  // A slur-chain scan that started at or before this text position found no need for
  // frequency mode, so neither does one starting later up to here (0 = unknown). Keeps long
  // "&" chains linear; cleared at every portamento group.
  size_t plainChainUntil = 0;
  // [from, until) of the part text holds no "T" before a note or rest (or the end) that
  // stands at until - 1, as the look-ahead after a note found; a step starting in it has no
  // tempo to apply. Empty until a note sets it.
  size_t tempoFreeFrom = 0;
  size_t tempoFreeUntil = 0;
  GlideChain glide;  // the portamento chain the slot is sounding, if any
};

// The part compile of one score. Every step returns true, or false after leaving exactly one
// message (Shift-JIS) in `fault`.
struct PartCompiler {
  explicit PartCompiler(SplitScore& splitScore) : score(splitScore), format(splitScore.format) {}

  SplitScore& score;
  const int format;
  CompiledTracks tracks;
  std::array<SlotState, kPartSlots> slots;
  int tempoFactor = 39062;
  int tempo = 120;  // the "T" value behind `tempoFactor`
  // Events made so far, and the slot of the first event refused at the cap (-1: none).
  size_t eventCount = 0;
  int eventCapSlot = -1;
  // Set by a check inside a command that knows the bytes at fault better than the command's
  // span: [from, to) of the current part text, read like the span in PlaceStepFault.
  size_t faultFrom = std::string::npos;
  size_t faultTo = 0;
  CompileFault fault;

  // Runs the slots to their ends, then completes and sorts the tracks.
  bool CompileParts();
  // Applies the "T" commands between `start` and the next note or rest to `tempoFactor`.
  bool ScanTempo(const std::string& text, size_t start);
  // One step of a sequence slot (0-15) that is not sounding a portamento chain: commands up to
  // and including the next note or rest (or, when they plan a chain, its first note).
  bool CompileSequenceStep(int slot, std::string& text, size_t& cursor, int64_t& time);
  // One step of a sequence slot sounding a chain: its next note (CompileGlideStep), a fault
  // placed at the group.
  bool CompileChainStep(int slot, const std::string& text, size_t& cursor, int64_t& time) {
    const size_t start = cursor;
    return CompileGlideStep(slot, text, cursor, time) || PlaceStepFault(slot, text, start, start);
  }
  // Checks the tuplet group that starts at `start` (after "{") and sets its member length.
  bool BeginTuplet(int slot, const std::string& text, size_t start);
  // Plans the portamento group at `cursor` (after "(") as the slot's chain and leaves the
  // cursor after the group.
  bool CompilePortamento(int slot, std::string& text, size_t& cursor, int64_t& time);
  // Sounds the next note of the slot's active chain, with the commands before it; `cursor` is
  // the end of the chain's group in `text` (the last note may read on past it). A fault is
  // placed at the group, or at a value of the text the last note read.
  bool CompileGlideStep(int slot, const std::string& text, size_t& cursor, int64_t& time);
  // One step of the ADPCM part: commands up to and including the next wave note or rest.
  bool CompileAdpcmStep(std::string& text, size_t& cursor, int64_t& time);
  // Finds a tie from the wave note just compiled to the next note of the same wave.
  bool AdpcmTieLookAhead(std::string& text, size_t position, int wave, int64_t& extra);
  // Checks the ADPCM tuplet group that starts at `pos` (after "{") and sets its note length.
  bool ScanAdpcmTuplet(const std::string& text, size_t pos);

  // Stores `message` (Shift-JIS) as the fault's message; returns false so callers can
  // `return Fail(...)`.
  bool Fail(std::string message);
  // The label of a slot as messages name it: its part name, or "A" for the ADPCM slot.
  std::string PartLabel(int slot) const;
  // Fails with the slot's label followed by `utf8Tail` converted to Shift-JIS.
  bool FailPart(int slot, std::string_view utf8Tail);
  // After a failed command of a part compiler, which began at `commandStart` of the slot's
  // current text and left the cursor at `cursor`: stores the place of the fault in the
  // expanded part text and returns false. The place is [faultFrom, faultTo) when a deeper
  // check set it, otherwise the command's span: a number that ends the span (the value out of
  // range) or else the command's first byte.
  bool PlaceStepFault(int slot, const std::string& text, size_t commandStart, size_t cursor);

  // Appends an event made for `slot` to `list`. At the event cap nothing is added: the slot is
  // remembered for CheckEventCap and kNoEvent returned.
  static constexpr EventList::Handle kNoEvent = UINT32_MAX;
  EventList::Handle AddEvent(EventList& list, int slot, int64_t time, int type, EventParams params,
                             int channel) {
    if (eventCount >= kMaxEvents) {
      return RefuseEvent(slot);
    }
    ++eventCount;
    return list.Add(time, type, params, channel);
  }
  // Called once the lists hold kMaxEvents events. Remembers the first slot refused at the cap
  // and returns kNoEvent.
  EventList::Handle RefuseEvent(int slot);
  // After a step: fails with "<label>パート データが大きすぎます。" when the step reached the
  // event cap (that message replaces any the step left); otherwise returns `stepped`.
  bool CheckEventCap(bool stepped);
};

#endif  // QUAVREX_SEQUENCE_PART_COMPILER_H_
