// The ADPCM part (slot 16): wave notes A-J that play the registered wave files, rests,
// lengths, ties, tuplets, gate and volume. One step compiles the commands up to and including
// the next wave note or rest. A tie ("&" to a following note of the same wave) is found by a
// look-ahead that lengthens the note's gate and turns the tied letter into a rest.

#include <algorithm>

#include "core/messages.h"
#include "core/text_functions.h"
#include "sequence/length_reader.h"
#include "sequence/part_compiler.h"

namespace {

namespace adpcm_msg = messages::adpcm;
using adpcm_msg::Message;

// The step emits volume changes and ignores "&"; the look-ahead only validates the volume,
// applies "T" itself and remembers an "&".
enum class Pass { kStep, kLookAhead };

bool IsWaveLetter(uint8_t c) { return c >= 'A' && c <= 'J'; }

// The state that the tie look-ahead may change while it reads ahead; restored when it ends.
class SavedPartState {
 public:
  explicit SavedPartState(PartCompiler& m)
      : compiler_(m),
        defaultLength_(m.slots[kAdpcmSlot].defaultLength),
        gate_(m.slots[kAdpcmSlot].gate),
        tempoFactor_(m.tempoFactor),
        volume_(m.slots[kAdpcmSlot].channelVolume),
        tupletOpen_(m.slots[kAdpcmSlot].tupletOpen),
        tupletNoteLength_(m.slots[kAdpcmSlot].tupletNoteLength) {}
  SavedPartState(const SavedPartState&) = delete;
  SavedPartState& operator=(const SavedPartState&) = delete;
  ~SavedPartState() {
    compiler_.slots[kAdpcmSlot].defaultLength = defaultLength_;
    compiler_.slots[kAdpcmSlot].gate = gate_;
    compiler_.tempoFactor = tempoFactor_;
    compiler_.slots[kAdpcmSlot].channelVolume = volume_;
    compiler_.slots[kAdpcmSlot].tupletOpen = tupletOpen_;
    compiler_.slots[kAdpcmSlot].tupletNoteLength = tupletNoteLength_;
  }

 private:
  PartCompiler& compiler_;
  int defaultLength_;
  int gate_;
  int tempoFactor_;
  int volume_;
  uint8_t tupletOpen_;
  int64_t tupletNoteLength_;
};

void EmitVolume(PartCompiler& m, int64_t time, int volume) {
  m.AddEvent(m.tracks.adpcmEvents, kAdpcmSlot, TicksOf(time), EV_VOLUME, {volume}, 0);
  m.slots[kAdpcmSlot].channelVolume = volume;
}

// "@" followed by its sub-command: only "@V" n and the relative "@V~" [n], "@V_" [n] exist.
bool AtCommand(PartCompiler& m, const std::string& text, size_t& cursor, int64_t time, Pass pass) {
  uint8_t x = ByteAt(text, cursor);
  if ((x >= '0' && x <= '9') || cursor >= text.size()) {
    return m.Fail(Message(adpcm_msg::kVoiceCannotUse));
  }
  ++cursor;
  if (x != 'V') {
    return m.Fail(Message(adpcm_msg::kAtCannotUse, static_cast<char>(x)));
  }
  uint8_t sign = ByteAt(text, cursor);
  int volume;
  if (sign == '~' || sign == '_') {
    ++cursor;
    int n = ReadArgument(text, cursor);
    if (n >= 0 && (n < 1 || n > 126)) {
      return m.Fail(Message(adpcm_msg::kAtVRelativeRange, static_cast<char>(sign)));
    }
    int delta = n < 0 ? 1 : n;
    volume = m.slots[kAdpcmSlot].channelVolume + (sign == '~' ? delta : -delta);
    volume = std::clamp(volume, 0, 127);
  } else {
    volume = ReadArgument(text, cursor);
    if (volume < 0 || volume > 127) {
      return m.Fail(Message(adpcm_msg::kAtVRange));
    }
  }
  if (pass == Pass::kStep) {
    EmitVolume(m, time, volume);
  }
  return true;
}

// "L", "Q", "T" or "V" with its number.
bool ValueCommand(PartCompiler& m, const std::string& text, size_t& cursor, uint8_t c, int64_t time,
                  Pass pass) {
  const int n = ReadArgument(text, cursor);
  switch (c) {
    case 'L':
      if (n <= 0) {
        return m.Fail(Message(n < 0 ? adpcm_msg::kLMissing : adpcm_msg::kLZero));
      }
      m.slots[kAdpcmSlot].defaultLength = 1280000 / n;
      return true;
    case 'Q':
      if (n < 1 || n > 8) {
        return m.Fail(Message(adpcm_msg::kQRange));
      }
      m.slots[kAdpcmSlot].gate = n;
      return true;
    case 'T':
      if (n <= 0) {
        return m.Fail(Message(n < 0 ? adpcm_msg::kTMissing : adpcm_msg::kTZero));
      }
      // The step finds the tempo already applied by the scheduler's tempo scan.
      if (pass == Pass::kLookAhead) {
        m.tempoFactor = 600000000 / n / 128;
      }
      return true;
    default:  // 'V'
      if (n < 0 || n > 15) {
        return m.Fail(Message(adpcm_msg::kVRange));
      }
      if (pass == Pass::kStep) {
        EmitVolume(m, time, n == 0 ? 0 : n * 8 + 7);
      }
      return true;
  }
}

// One command byte `c` other than a wave letter or "R", already stepped over. Sets
// `ampersand` when it is "&".
bool PartCommand(PartCompiler& m, const std::string& text, size_t& cursor, uint8_t c, int64_t time,
                 Pass pass, bool& ampersand) {
  switch (c) {
    case 'L':
    case 'Q':
    case 'T':
    case 'V':
      return ValueCommand(m, text, cursor, c, time, pass);
    case '@':
      return AtCommand(m, text, cursor, time, pass);
    case '{':
      if (m.slots[kAdpcmSlot].tupletOpen) {
        return m.Fail(Message(adpcm_msg::kNested));
      }
      if (!m.ScanAdpcmTuplet(text, cursor)) {
        return false;
      }
      m.slots[kAdpcmSlot].tupletOpen = 1;
      return true;
    case '}':
      if (!m.slots[kAdpcmSlot].tupletOpen) {
        return m.Fail(Message(adpcm_msg::kNoOpenBrace));
      }
      SkipLength(text, cursor);
      m.slots[kAdpcmSlot].tupletOpen = 0;
      return true;
    case '&':
      ampersand = true;
      return true;
    case '%':
    case '*':
    case '.':
    case '^':
      return m.Fail(Message(adpcm_msg::kWrongUse, static_cast<char>(c)));
    default:
      return m.Fail(Message(adpcm_msg::kCannotUse, static_cast<char>(c)));
  }
}

// The length after a wave letter or "R": no accidental may follow a wave letter; the value,
// dots and ties of the length routine, an omitted value being the tuplet member length while
// a tuplet is open, else the default length.
bool NoteLength(PartCompiler& m, const std::string& text, size_t& cursor, bool wave,
                int64_t& length) {
  uint8_t c = ByteAt(text, cursor);
  if (wave && (c == '-' || c == '+' || c == '#')) {
    return m.Fail(Message(adpcm_msg::kCannotUse, static_cast<char>(c)));
  }
  const int64_t omitted = m.slots[kAdpcmSlot].tupletOpen
                              ? -m.slots[kAdpcmSlot].tupletNoteLength
                              : ScaleByTempo(m.slots[kAdpcmSlot].defaultLength, m.tempoFactor);
  LengthResult r = ReadLength(text, cursor, omitted, m.tempoFactor);
  if (r.fault != LengthFault::kNone) {
    return m.Fail(Message(LengthFaultText(r.fault)));
  }
  length = r.length;
  return true;
}

}  // namespace

bool PartCompiler::CompileAdpcmStep(std::string& text, size_t& cursor, int64_t& time) {
  uint8_t c = 0;
  size_t start = cursor;  // the command being compiled, where a fault is placed
  for (;;) {
    start = cursor;
    if (cursor >= text.size()) {
      if (slots[kAdpcmSlot].tupletOpen) {
        return Fail(Message(adpcm_msg::kNoCloseBrace)) ||
               PlaceStepFault(kAdpcmSlot, text, start, start);
      }
      return true;
    }
    c = static_cast<uint8_t>(text[cursor++]);
    if (IsWaveLetter(c) || c == 'R') {
      break;
    }
    bool ampersand = false;  // a slur mark means nothing to the step itself
    if (!PartCommand(*this, text, cursor, c, time, Pass::kStep, ampersand)) {
      return PlaceStepFault(kAdpcmSlot, text, start, cursor);
    }
  }
  tracks.partUsed[kAdpcmSlot] = 1;
  int64_t length = 0;
  if (c == 'R') {
    if (!NoteLength(*this, text, cursor, false, length)) {
      return PlaceStepFault(kAdpcmSlot, text, start, cursor);
    }
    time = AdvanceTime(time, length);
    return true;
  }

  const int wave = c - 'A' + 1;
  if (score.waves.fileName[wave - 1].empty()) {
    return Fail(Message(adpcm_msg::kNotRegistered, static_cast<char>(c))) ||
           PlaceStepFault(kAdpcmSlot, text, start, start);
  }
  tracks.waveUsed[wave - 1] = 1;
  if (slots[kAdpcmSlot].channelVolume == -1) {
    EmitVolume(*this, 0, 96);
  }
  if (!NoteLength(*this, text, cursor, true, length)) {
    return PlaceStepFault(kAdpcmSlot, text, start, cursor);
  }
  int64_t extra = 0;
  if (!AdpcmTieLookAhead(text, cursor, wave, extra)) {
    return PlaceStepFault(kAdpcmSlot, text, start, start);
  }
  if (ByteAt(text, cursor) == '&') {
    ++cursor;
  }
  // The gate: the sounding length (tied note included) times Q/8, in ticks, less 2 ticks.
  const int64_t gate = GateTicks(slots[kAdpcmSlot].gate, length + extra) - 2;
  AddEvent(tracks.adpcmEvents, kAdpcmSlot, TicksOf(time), EV_ADPCM_NOTE, {wave, gate}, 0);
  time = AdvanceTime(time, length);
  return true;
}

bool PartCompiler::AdpcmTieLookAhead(std::string& text, size_t position, int wave, int64_t& extra) {
  SavedPartState saved(*this);
  bool ampersand = false;
  uint8_t c = 0;
  for (;;) {
    if (position >= text.size()) {
      if (slots[kAdpcmSlot].tupletOpen) {
        return Fail(Message(adpcm_msg::kNoCloseBrace));
      }
      return true;
    }
    const size_t at = position;
    c = static_cast<uint8_t>(text[position++]);
    if (IsWaveLetter(c) || c == 'R') {
      break;
    }
    if (!PartCommand(*this, text, position, c, 0, Pass::kLookAhead, ampersand)) {
      // A later command at fault, found while looking ahead.
      faultFrom = at;
      faultTo = position;
      return false;
    }
  }
  if (!ampersand || c == 'R') {
    return true;
  }
  // A fault of the tied note is placed at it.
  const size_t tiedAt = position - 1;
  if (c - 'A' + 1 != wave) {
    faultFrom = faultTo = tiedAt;
    return Fail(Message(adpcm_msg::kSlur));
  }
  // The tied note only lengthens this one: the next step compiles it as a rest.
  text[position - 1] = 'R';
  int64_t tied = 0;
  if (!NoteLength(*this, text, position, true, tied)) {
    faultFrom = tiedAt;
    faultTo = position;
    return false;
  }
  extra += tied;
  if (position >= text.size() && slots[kAdpcmSlot].tupletOpen) {
    return Fail(Message(adpcm_msg::kNoCloseBrace));
  }
  return true;
}
