#ifndef QUAVREX_SEQUENCE_STEP_SUPPORT_H_
#define QUAVREX_SEQUENCE_STEP_SUPPORT_H_

// Pieces shared by the files of the sequence-part compiler (step, commands, notes, tuplets).
// Not used outside sequence/.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"

// Lowest and highest note numbers each format can sound.
inline constexpr int kMa1LowestNote = 37;
inline constexpr int kMa2LowestNote = 13;
inline constexpr int kHighestNote = 108;

// ---- Messages -------------------------------------------------------------------------------
// Each fails the slot (stores its one message and returns false). `head` and `tail` are UTF-8
// texts of core/messages.h; what stands between them comes from the part text and is
// already Shift-JIS.

// label + head + byte + tail. The end of the text (byte 0) is never spliced in.
bool FailWithByte(PartCompiler& mc, int slot, std::string_view head, uint8_t byte,
                  std::string_view tail);
// label + head + sjisText + tail (a note name).
bool FailWithText(PartCompiler& mc, int slot, std::string_view head, std::string_view sjisText,
                  std::string_view tail);
// label + "パート " + the length reader's text for `fault`.
bool FailLength(PartCompiler& mc, int slot, LengthFault fault);

// ---- Reading --------------------------------------------------------------------------------
// The length, in fine units, of a note or rest written without one: the member length while a
// tuplet is open, otherwise the slot's default length at the current tempo.
inline int64_t OmittedLength(const PartCompiler& mc, int slot) {
  if (mc.slots[slot].tupletOpen != 0) {
    // BeginTuplet stores the member length negated, already in fine units.
    const int64_t member = mc.slots[slot].tupletNoteLength;
    return member < 0 ? -member : ScaleByTempo(member, mc.tempoFactor);
  }
  return ScaleByTempo(mc.slots[slot].defaultLength, mc.tempoFactor);
}

// ---- Time and events ------------------------------------------------------------------------
// Adds an event of a sequence slot to its track (slot div 4) on its channel (slot mod 4);
// kNoEvent at the event cap.
inline EventList::Handle EmitEvent(PartCompiler& mc, int slot, int64_t tick, int type,
                                   EventParams params) {
  return mc.AddEvent(mc.tracks.trackEvents[slot / 4], slot, tick, type, params, slot % 4);
}

// ---- Slurs ----------------------------------------------------------------------------------
// True when an "&" stands between `position` and the next note or rest letter. False at the
// end of the text: a final "C4&" is not slurred.
bool IsSlurred(const std::string& text, size_t position);

// What stands between `position` and the next note or rest letter (one not after "@").
struct NoteLookAhead {
  bool slurred = false;  // an "&", as IsSlurred tells
  bool tempo = false;    // a "T" byte
  size_t next = 0;       // the letter, or the end of the text
};
NoteLookAhead LookAhead(const std::string& text, size_t position);

// True when a portamento "(" or a non-zero "@K" comes before a later note of the "&" chain
// that continues at `position`, so that the chain must sound in frequency mode. `stop` receives
// the position where the scan ended.
bool SlurChainNeedsFrequency(const std::string& text, size_t position, size_t& stop);
// The same scan begun in the state it has after a "&" (`amp`) or a glide or detune step
// (`need`) already read.
bool SlurChainNeedsFrequencyFrom(const std::string& text, size_t position, bool amp, bool need,
                                 size_t& stop);
// SlurChainNeedsFrequency for the slot, remembering where a scan found none: every later note
// of that stretch would scan the same bytes to the same answer, which made long "&" chains
// quadratic.
bool ChainNeedsFrequency(PartCompiler& mc, int slot, const std::string& text, size_t position);

// Relative key, detune and octave changes add up without limit; they are held inside int so
// that a long run of them cannot overflow. Values that large fail the note range check.
inline int Saturated(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// ---- Parts of one step ----------------------------------------------------------------------
// Compiles the state command `command` (already stepped over; the cursor is on its argument).
bool CompileStateCommand(PartCompiler& mc, int slot, uint8_t command, std::string& text,
                         size_t& cursor, int64_t& time);

// A note ready to be sounded.
struct SequenceNote {
  int number = 0;        // note number: letter, octave, accidentals, detune, transpose
  int64_t length = 0;    // fine units, carried length included
  bool slurred = false;  // an "&" joins it to the next note
};

// Sounds one note of a portamento chain as the step sounds a note of the text: `written` is its
// letter and accidentals, `ticks` its "*" length (0 or less fails as written so), `slurred`
// whether an "&" joins it to the next note, and `needsFrequency(mc, slot, text, cursor)`
// whether a slurred note's chain ahead needs frequency mode. The last note of a chain that
// ends in no octave mark reads on in `text` at `*tail` as its own length would: dots and "^"
// values there lengthen it, and its slur is the one the text then gives. Advances `time`.
using FrequencyScan = bool (*)(PartCompiler& mc, int slot, const std::string& text, size_t cursor);
bool CompileChainNote(PartCompiler& mc, int slot, const std::string& written, int64_t ticks,
                      bool slurred, FrequencyScan needsFrequency, const std::string& text,
                      size_t cursor, size_t* tail, int64_t& time);

// Normal mode: an EV_NOTE, or the extension of a held (slurred) one. Advances `time`.
void EmitNormalNote(PartCompiler& mc, int slot, const SequenceNote& note, int64_t& time);

// Frequency mode (MA2): key-on or legato change, and the key-off unless slurred. Fails with the
// below-range message for `name` when the pitch lies under the lowest block. Advances `time`.
bool EmitFrequencyNote(PartCompiler& mc, int slot, const SequenceNote& note, std::string_view name,
                       int64_t& time);

#endif  // QUAVREX_SEQUENCE_STEP_SUPPORT_H_
