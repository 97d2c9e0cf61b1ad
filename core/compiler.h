#ifndef QUAVREX_CORE_COMPILER_H_
#define QUAVREX_CORE_COMPILER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/fault_place.h"
#include "core/glide_chain.h"
#include "core/seq_event.h"
#include "core/voice_tables.h"

// Slots: 0-15 hold the sequence parts (slot i plays on channel i+1), 16 the ADPCM (A) part.
constexpr int kSequenceSlots = 16;
constexpr int kPartSlots = 17;
constexpr int kAdpcmSlot = 16;
constexpr int kWaveSlots = 10;

// Output formats as `m_format` holds them.
constexpr int kFormatMa1 = 4;
constexpr int kFormatMa2 = 16;

// Work caps no ring tone comes near; each bounds the time and memory of a hostile score.
// All part texts together may grow to this many bytes by repeat expansion.
constexpr uint64_t kMaxExpandedBytes = 16777216;
// One compile makes at most this many events, over all tracks.
constexpr size_t kMaxEvents = 1048576;
// The longest output image.
constexpr size_t kMaxImageBytes = 16777216;

// Where a "T" command took effect: from `time` (fine units) on, `tempo` beats a minute.
struct TempoChange {
  int64_t time = 0;
  int tempo = 120;
};

// The whole state of one compile. The compile job creates one per source file, runs the
// stages on it in order and destroys it; nothing of it reaches the next file. Every stage
// returns true, or false after leaving exactly one message (Shift-JIS) in `m_errorText`.
class CMmlCompiler {
 public:
  CMmlCompiler();

  // Stores 4 (MA1) or 16 (MA2) in `m_format`. Called once, before any stage.
  void SetFormat(int format);

  // A copy of the stored error message (empty when none was stored).
  std::string GetErrorText() const;

  // ---- Front end (frontend/, voices/, adpcm/) ------------------------------------------
  // Divides the whole score into its blocks, runs the definition parsers and leaves one
  // finished text per part slot. Resets the event serial counter first.
  bool SplitParts(std::string source);
  // Expands the repeat marks of one part text in place; returns an empty text on success,
  // otherwise the message (without the part label). The text may grow to what is left of the
  // shared budget: kMaxExpandedBytes less `m_expandedBytes`, which the splitter adds to.
  std::string ExpandRepeats(std::string& text);
  // Checks the joined contents blocks and fills `m_contentsOptions`.
  bool ParseContents(const std::string& text);
  // Reads the joined voice-definition blocks (upper-cased, white space removed).
  bool ParseVoiceDefinitions(const std::string& text);
  // Reads the joined ADPCM file-list blocks (raw text, case and white space kept).
  bool ParseAdpcmFiles(const std::string& text);

  // ---- Part compilers (sequence/, adpcm/) ------------------------------------------------
  // Compiles all part slots in time order into the event sets, completes the tracks, sorts
  // the used voices and ends with `BuildSetupChunk`.
  bool CompileParts();
  // Applies the "T" commands between `start` and the next note or rest to `m_tempoFactor`.
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
  // Plans the portamento group at `cursor` (after "(") as a chain in `m_glides` and leaves the
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

  // ---- Writer (mmf/) ------------------------------------------------------------------------
  // Builds the setup chunk of the used voices into `m_setupChunk` (MA2: voice slots too).
  bool BuildSetupChunk();
  // Assembles the whole output image (sizes 0, CRC placeholder) into the empty `image`.
  bool BuildMmf(Bytes& image, const std::string& sourcePath);

  // ---- Shared failure helpers ---------------------------------------------------------------
  // Stores `message` (Shift-JIS) as the error text; returns false so callers can
  // `return Fail(...)`.
  bool Fail(std::string message);
  // The label of a slot as messages name it: its part name, or "A" for the ADPCM slot.
  std::string PartLabel(int slot) const;
  // Fails with the slot's label followed by `utf8Tail` converted to Shift-JIS.
  bool FailPart(int slot, std::string_view utf8Tail);

  // ---- Fault places (see core/fault_place.h) ------------------------------------------------
  // After a failed command of a part compiler, which began at `commandStart` of the slot's
  // current text and left the cursor at `cursor`: stores the place of the fault in the
  // expanded part text and returns false. The place is `m_faultSpan` when a deeper check set
  // it, otherwise the command's span: a number that ends the span (the value out of range)
  // or else the command's first byte.
  bool PlaceStepFault(int slot, const std::string& text, size_t commandStart, size_t cursor);

  // ---- Events -------------------------------------------------------------------------------
  // Appends an event made for `slot` to `list`. At the event cap nothing is added: the slot is
  // remembered for FailAtEventCap and kNoEvent returned.
  static constexpr EventList::Handle kNoEvent = UINT32_MAX;
  EventList::Handle AddEvent(EventList& list, int slot, int64_t time, int type, EventParams params,
                             int channel) {
    if (m_eventCount >= kMaxEvents) {
      return RefuseEvent(slot);
    }
    ++m_eventCount;
    return list.Add(time, type, params, channel, NextEventSerial());
  }
  // Called once the store holds kMaxEvents events. Remembers the first slot refused at the cap
  // and returns kNoEvent.
  EventList::Handle RefuseEvent(int slot);
  // After a step: fails with "<label>パート データが大きすぎます。" when the step reached the
  // event cap (that message replaces any the step left); otherwise returns `stepped`.
  bool CheckEventCap(bool stepped);

  // ---- State, in declaration order ----------------------------------------------------------
  int m_format = kFormatMa1;
  int m_voiceSetupOut = 0;
  std::array<EventList, 4> m_trackEvents;
  EventList m_adpcmEvents;
  Bytes m_setupChunk;
  std::array<int, kSequenceSlots> m_transpose{};
  std::array<int, kSequenceSlots> m_detune{};
  std::array<int, kPartSlots> m_defaultLength{};
  std::array<int, kSequenceSlots> m_octave{};
  std::array<int, kPartSlots> m_gate{};
  std::array<int, kSequenceSlots> m_channelVoice{};
  std::array<int, kSequenceSlots> m_fourOpPart{};
  std::array<int, kPartSlots> m_channelVolume{};
  std::array<uint8_t, kPartSlots> m_tupletOpen{};
  // >= 0: score units; < 0: the negated length of one member in fine units.
  std::array<int64_t, kPartSlots> m_tupletNoteLength{};
  std::array<uint8_t, kPartSlots> m_partUsed{};
  std::array<uint8_t, kSequenceSlots> m_legatoPending{};
  std::array<int64_t, kSequenceSlots> m_carryLength{};
  std::array<int, kSequenceSlots> m_noteHigh{};
  std::array<int, kSequenceSlots> m_noteLow{};
  int m_nPartSet = 0;
  std::array<int, kSequenceSlots> m_heldNote{};
  std::array<int64_t, kSequenceSlots> m_heldStart{};
  // Written before it is read: valid while `m_heldNote` of the slot is not -1.
  std::array<EventList::Handle, kSequenceSlots> m_heldEvent{};
  std::vector<int> m_usedVoices;
  int m_tempoFactor = 39062;
  int m_tempo = 120;  // the "T" value behind `m_tempoFactor`
  // The tempo from the start and at every change, in time order (for a MIDI file's tempo map).
  std::vector<TempoChange> m_tempoChanges;
  std::array<std::string, kSequenceSlots> m_partText;
  std::array<std::string, kSequenceSlots> m_partName;
  std::string m_adpcmPartText;
  Bytes m_contentsOptions;
  std::string m_voicePartText;  // the joined voice-definition blocks, as the parser reads them
  std::string m_filePartText;   // the joined file-list blocks, raw
  std::string m_errorText;
  uint8_t m_durationBase = 2;
  uint8_t m_gateBase = 2;
  uint8_t m_contentsStatus = 1;
  uint8_t m_exclusiveParam = 0x10;
  uint8_t m_waveType = 0x11;
  std::array<std::string, kWaveSlots> m_adpcmFileName;  // wave slots 1-10 at indexes 0-9
  std::array<int, kWaveSlots> m_adpcmFileUsed{};
  uint8_t m_optionA = 1;
  Ma1VoiceTable m_ma1Voices;
  Ma2FourOpVoiceTable m_ma2FourOpVoices;
  Ma2VoiceTable m_ma2Voices;
  std::map<int, int> m_voiceSlotOf;
  std::map<int, int> m_voiceSlotUse;
  // Where `BuildMmf` put the tag of each chunk below the file header, in image order; the
  // size fix-up follows these positions rather than searching the bytes for tags.
  std::vector<size_t> m_chunkOffsets;
  // Per sequence slot: a slur-chain scan that started at or before this text position found
  // no need for frequency mode, so neither does one starting later up to here (0 = unknown).
  // Keeps long "&" chains linear; cleared at every portamento group.
  std::array<size_t, kSequenceSlots> m_plainChainUntil{};
  // Per sequence slot: [from, until) of the part text holds no "T" before a note or rest (or
  // the end) that stands at until - 1, as the look-ahead after a note found; a step starting in
  // it has no tempo to apply. Empty until a note sets it.
  std::array<size_t, kSequenceSlots> m_tempoFreeFrom{};
  std::array<size_t, kSequenceSlots> m_tempoFreeUntil{};
  // Events made so far, and the slot of the first event refused at the cap (-1: none).
  size_t m_eventCount = 0;
  int m_eventCapSlot = -1;
  // Bytes of the part texts split and expanded so far (the repeat-expansion budget).
  uint64_t m_expandedBytes = 0;
  // The place of the stored message's fault (kNone: it has none, or none is known).
  FaultPlace m_errorPlace;
  // Set by a check inside a command that knows the bytes at fault better than the command's
  // span: [from, to) of the current part text, read like the span in PlaceStepFault.
  size_t m_faultFrom = std::string::npos;
  size_t m_faultTo = 0;
  // For each block name, where the splitter took the joined text's pieces from the score.
  std::map<std::string, std::vector<BlockPiece>> m_blockPieces;
  // The portamento chain each sequence slot is sounding, if any.
  std::array<GlideChain, kSequenceSlots> m_glides{};
};

#endif  // QUAVREX_CORE_COMPILER_H_
