// Sequence data: each event is a delta time and one message (the layout is in
// core/mmf_layout.h). The reader keeps, per channel, the note window and the last bank and
// frequency high byte, so that notes, program changes and legato changes read as absolute
// values. Two message pairs that the writer always puts back to back are read as one event:
// a bank select followed at delta 0 by the same channel's program change (a voice select),
// and the two frequency exclusives of one frequency note.

#include "reader/sequence_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/mmf_layout.h"

namespace {

class SequenceReader {
 public:
  SequenceReader(const ReadContext& context, size_t start, size_t end,
                 const SequenceSettings& settings, std::vector<MmfEvent>& events)
      : c_(context), pos_(start), end_(end), s_(settings), events_(events) {
    lastBank_.fill(-1);
    lastHigh_.fill(-1);
  }

  void Run() {
    // Every event takes three bytes or more, so this is the most the sequence can hold.
    if (c_.keepEvents) {
      events_.reserve(events_.size() + (end_ - pos_) / 3 + 1);
    }
    while (pos_ < end_) {
      messageAt_ = pos_;
      if (AtEndOfSequence()) {
        ReadEndOfSequence();
        return;
      }
      int64_t delta = 0;
      if (!ReadTime(delta, "delta time")) {
        return;
      }
      tick_ += delta;
      if (pos_ >= end_) {
        c_.Add(FindingKind::kTruncated, pos_, "event cut off after its delta time");
        return;
      }
      messageAt_ = pos_;
      if (!ReadMessage()) {
        return;
      }
    }
    c_.Add(FindingKind::kTruncated, end_, "sequence ends without 00 00 00 00");
  }

 private:
  uint8_t At(size_t at) const { return c_.data[at]; }
  bool Left(size_t count) const { return end_ - pos_ >= count; }

  bool AtEndOfSequence() const {
    if (!Left(mmf::kEndOfSequenceSize)) {
      return false;
    }
    uint32_t word = 0;  // the four bytes at once: this is asked before every event
    std::memcpy(&word, c_.data + pos_, sizeof word);
    return word == 0;
  }

  void ReadEndOfSequence() {
    Begin(MmfEventKind::kEndOfSequence, -1);
    pos_ += mmf::kEndOfSequenceSize;
    if (pos_ < end_) {
      c_.Add(FindingKind::kSizeMismatch, pos_,
             std::to_string(end_ - pos_) + " bytes after the end of the sequence");
    }
  }

  // A delta or gate time of one or two bytes.
  bool ReadTime(int64_t& value, const char* what) {
    uint8_t first = At(pos_);
    if ((first & mmf::kTimeContinues) == 0) {
      value = first;
      ++pos_;
      return true;
    }
    if (!Left(2)) {
      c_.Add(FindingKind::kTruncated, pos_, std::string(what) + " cut off by the end of the chunk");
      return false;
    }
    value = ((int64_t{first & 0x7F} + 1) << 7) | (At(pos_ + 1) & 0x7F);
    pos_ += 2;
    return true;
  }

  // Appends the next event in place; when events are not kept, one scratch event is reused.
  // The caller writes the parameters of the event's kind whole.
  MmfEvent& Begin(MmfEventKind kind, int channel) {
    MmfEvent& event = keep_ ? events_.emplace_back() : scratch_;
    event.kind = kind;
    event.offset = static_cast<uint32_t>(messageAt_);
    event.tick = tick_;
    event.tickMs = tickMs_;
    event.channel = static_cast<int8_t>(channel);
    event.absChannel = static_cast<int8_t>(channel < 0 ? -1 : firstChannel_ + channel);
    return event;
  }

  bool ReadMessage() {
    uint8_t first = At(pos_);
    if (first == mmf::kEscape) {
      return ReadEscape();
    }
    if (first == mmf::kControlPrefix) {
      return ReadControl();
    }
    return s_.audio ? ReadDirectNote() : ReadNote();
  }

  bool Unknown(const std::string& what) {
    c_.Add(FindingKind::kUnknownMessage, pos_, what + "; the rest of the sequence is skipped");
    return false;
  }

  bool CutOff(const char* what) {
    c_.Add(FindingKind::kTruncated, pos_, std::string(what) + " cut off by the end of the chunk");
    return false;
  }

  // The gate after a note byte; false (with a finding) when it is cut off.
  bool ReadGate(int64_t& gate) {
    if (pos_ >= end_) {
      return CutOff("gate time");
    }
    return ReadTime(gate, "gate time");
  }

  // A note or direct note: the byte at pos_ and its gate. The event is made only when the
  // gate is there.
  bool ReadGatedEvent(MmfEventKind kind, const NoteParams& params) {
    const int channel = At(pos_) >> 6;
    ++pos_;
    int64_t gate = 0;
    if (!ReadGate(gate)) {
      return false;
    }
    MmfEvent& event = Begin(kind, channel);
    event.params.note = params;
    event.params.note.gateTicks = static_cast<int16_t>(gate);
    return true;
  }

  bool ReadNote() {
    uint8_t byte = At(pos_);
    int channel = byte >> 6;
    int semitone = byte & 0x0F;
    if (semitone < 1 || semitone > 12) {
      return Unknown("note byte " + Hex(byte) + " names no semitone");
    }
    NoteParams note{};
    note.gateTickMs = gateTickMs_;
    note.octave = static_cast<int8_t>((byte >> 4) & 0x03);
    note.semitone = static_cast<int8_t>(semitone);
    note.shift = static_cast<int8_t>(window_[channel]);
    note.note = static_cast<int8_t>(mmf::kWindowLowestNote + 12 * (note.shift + note.octave) +
                                    semitone - 1);
    note.waveSlot = -1;
    return ReadGatedEvent(MmfEventKind::kNote, note);
  }

  bool ReadDirectNote() {
    NoteParams note{};
    note.gateTickMs = gateTickMs_;
    note.note = note.octave = note.semitone = -1;
    note.waveSlot = static_cast<int8_t>(At(pos_) & 0x3F);
    return ReadGatedEvent(MmfEventKind::kDirectNote, note);
  }

  bool ReadEscape() {
    if (!Left(2)) {
      return CutOff("message FF");
    }
    uint8_t second = At(pos_ + 1);
    if (second == mmf::kNop) {
      Begin(MmfEventKind::kNop, -1);
      pos_ += 2;
      return true;
    }
    if (second != mmf::kExclusive) {
      return Unknown("message FF " + Hex(second));
    }
    return ReadExclusive();
  }

  // FF F0 length data; the data ends in F7.
  bool ReadExclusive() {
    if (!Left(3)) {
      return CutOff("exclusive");
    }
    size_t length = At(pos_ + 2);
    if (!Left(3 + length)) {
      return CutOff("exclusive");
    }
    const uint8_t* data = c_.data + pos_ + 3;
    if (length == 0 || data[length - 1] != mmf::kEndOfExclusive) {
      c_.Add(FindingKind::kBadValue, pos_, "exclusive does not end in F7");
    }
    if (!DecodeExclusive(data, length)) {
      KeepExclusive(data, length);
    }
    pos_ += 3 + length;
    return true;
  }

  // An exclusive of no known kind keeps its data bytes in the file's pool of them.
  void KeepExclusive(const uint8_t* data, size_t length) {
    ExclusiveParams params{};
    if (c_.keepEvents) {
      // The pool holds bytes of the file once each, so its offsets fit as the file's do.
      std::vector<uint8_t>& pool = *c_.exclusiveBytes;
      params.dataStart = static_cast<uint32_t>(pool.size());
      params.dataSize = static_cast<uint8_t>(length);
      pool.insert(pool.end(), data, data + length);
    }
    Begin(MmfEventKind::kOtherExclusive, -1).params.exclusive = params;
  }

  // The exclusives of a known kind, read from their data bytes `d`; false for any other.
  bool DecodeExclusive(const uint8_t* d, size_t length) {
    if (length != 6 || d[0] != mmf::kMakerId || d[5] != mmf::kEndOfExclusive) {
      return false;
    }
    if (d[1] == mmf::kMa1Opening && d[2] == mmf::kMa1OpeningTag[0] &&
        d[3] == mmf::kMa1OpeningTag[1]) {
      ExclusiveParams params{};
      params.value = d[4];
      Begin(MmfEventKind::kMa1Opening, -1).params.exclusive = params;
      return true;
    }
    if (d[1] == mmf::kMa2Message && d[2] == mmf::kFrequencyMessage) {
      return DecodeFrequency(d);
    }
    if (d[1] == mmf::kMa2Message && d[2] == mmf::kVoiceSlotMessage) {
      return DecodeVoiceSlots(d);
    }
    return false;
  }

  static bool IsFrequencyPart(const uint8_t* d, uint8_t part) {
    return d[0] == 0x06 && d[1] == mmf::kMakerId && d[2] == mmf::kMa2Message &&
           d[3] == mmf::kFrequencyMessage && (d[4] & 0xF0) == part && d[6] == mmf::kEndOfExclusive;
  }

  // The high byte of the message after a low half when it is the same channel's high half at
  // delta 0: 00, FF F0 06 43 03 90 (C0 | ch) high F7. -1 when another message follows.
  int FollowingHighHalf(int abs) const {
    const size_t next = pos_ + 3 + 6;
    if (end_ - next >= 10 && At(next) == 0 && At(next + 1) == mmf::kEscape &&
        At(next + 2) == mmf::kExclusive &&
        IsFrequencyPart(c_.data + next + 3, mmf::kFrequencyHigh) && (At(next + 7) & 0x0F) == abs) {
      return At(next + 8);
    }
    return -1;
  }

  // 43 03 90 (B0 | ch) low F7, then at delta 0 optionally 43 03 90 (C0 | ch) high F7.
  bool DecodeFrequency(const uint8_t* d) {
    uint8_t which = d[3] & 0xF0;
    int abs = d[3] & 0x0F;
    if (which != mmf::kFrequencyLow && which != mmf::kFrequencyHigh) {
      return false;
    }
    const int channel = abs & 3;
    FrequencyParams f{};
    f.fnumberLow = f.highByte = f.fnumber = -1;
    f.block = -1;
    int high = -1;
    if (which == mmf::kFrequencyHigh) {
      high = d[4];
    } else {
      f.fnumberLow = d[4];
      high = FollowingHighHalf(abs);
    }
    if (high >= 0) {
      f.keyState = (high & mmf::kKeyOnBit) != 0 ? KeyState::kOn : KeyState::kOff;
      f.highByte = static_cast<int16_t>(high & ~mmf::kKeyOnBit & 0xFF);
      lastHigh_[channel] = f.highByte;
    } else {
      f.keyState = KeyState::kLegato;
    }
    int inEffect = lastHigh_[channel];
    int low = f.fnumberLow >= 0 ? f.fnumberLow : lastLow_[channel];
    if (f.fnumberLow >= 0) {
      lastLow_[channel] = f.fnumberLow;
    }
    if (inEffect >= 0) {
      f.block = static_cast<int8_t>((inEffect >> 2) & 0x07);
      f.fnumber = static_cast<int16_t>(std::max(0, low) + 256 * std::max(0, (inEffect & 0x03) - 1));
    }
    MmfEvent& event = Begin(MmfEventKind::kFrequencyNote, channel);
    event.absChannel = static_cast<int8_t>(abs);
    event.params.frequency = f;
    if (which == mmf::kFrequencyLow && high >= 0) {
      pos_ += 10;  // the high half read with it; pos_ still stands on the low half
    }
    return true;
  }

  // 43 03 91 pair slots F7: pair 24 + 2t names channels 0 and 1 of track t, 25 + 2t 2 and 3.
  bool DecodeVoiceSlots(const uint8_t* d) {
    int pair = d[3];
    if (pair < mmf::kVoiceSlotPairBase || pair >= mmf::kVoiceSlotPairBase + 8) {
      return false;
    }
    VoiceSlotParams slots{};
    slots.pairByte = static_cast<uint8_t>(pair);
    slots.slotLow = d[4] & 0x0F;
    slots.slotHigh = d[4] >> 4;
    Begin(MmfEventKind::kVoiceSlots, -1).params.voiceSlots = slots;
    return true;
  }

  // 00, cc + form, and for long controls a value byte.
  bool ReadControl() {
    if (!Left(2)) {
      return CutOff("control");
    }
    uint8_t second = At(pos_ + 1);
    int channel = second >> 6;
    int form = second & 0x3F;
    ControlParams params{};
    params.decoded = -1;
    if (form < mmf::kLongControlFirst) {
      bool modulation = (form & mmf::kShortModulationFlag) != 0;
      params.shortForm = true;
      params.value = static_cast<uint8_t>(form & mmf::kShortValueMask);
      params.decoded = static_cast<int16_t>(
          std::min(127, modulation ? 8 * params.value + 7 : 8 * params.value + 15));
      Begin(modulation ? MmfEventKind::kModulation : MmfEventKind::kExpression, channel)
          .params.control = params;
      pos_ += 2;
      return true;
    }
    if (!Left(3)) {
      return CutOff("control");
    }
    params.control = static_cast<uint8_t>(form);
    params.value = At(pos_ + 2);
    const MmfEventKind kind = DecodeLongControl(channel, params);
    Begin(kind, channel).params.control = params;
    pos_ += kind == MmfEventKind::kVoice ? 7 : 3;  // a voice select is two messages
    return true;
  }

  // The kind of a long control and what it carries; the channel's window and bank follow it.
  MmfEventKind DecodeLongControl(int ch, ControlParams& params) {
    MmfEventKind kind = MmfEventKind::kOtherControl;
    switch (params.control) {
      case mmf::kModulation:
        kind = MmfEventKind::kModulation;
        break;
      case mmf::kExpression:
        kind = MmfEventKind::kExpression;
        break;
      case mmf::kVolume:
        kind = MmfEventKind::kVolume;
        break;
      case mmf::kPan:
        kind = MmfEventKind::kPan;
        break;
      case mmf::kOctaveShift:
        DecodeShift(ch, params);
        return MmfEventKind::kOctaveShift;
      case mmf::kBankSelect:
        return DecodeBank(ch, params);
      case mmf::kProgramChange:
        params.bank = static_cast<uint8_t>(lastBank_[ch] >= 0 ? lastBank_[ch] : 0);
        params.program = params.value;
        return MmfEventKind::kProgramChange;
      default:
        return MmfEventKind::kOtherControl;
    }
    params.decoded = params.value;
    if (params.value > 127) {
      c_.Add(FindingKind::kBadValue, pos_, "control value " + Hex(params.value) + " above 127");
    }
    return kind;
  }

  void DecodeShift(int ch, ControlParams& params) {
    int raw = params.value;
    int shift = (raw & mmf::kNegativeShift) != 0 ? -(raw & 0x7F) : raw;
    if (shift < -mmf::kMaxShift || shift > mmf::kMaxShift) {
      c_.Add(FindingKind::kBadValue, pos_, "octave shift " + Hex(raw) + " outside -2..+2");
      return;
    }
    params.shift = static_cast<int8_t>(shift);
    params.decoded = static_cast<int16_t>(shift);
    window_[ch] = shift;
  }

  // A bank select, paired with the program change that follows it at delta 0.
  MmfEventKind DecodeBank(int ch, ControlParams& params) {
    lastBank_[ch] = params.value;
    params.bank = params.value;
    uint8_t program = static_cast<uint8_t>((ch << 6) | mmf::kProgramChange);
    const size_t next = pos_ + 3;
    if (end_ - next >= 4 && At(next) == 0 && At(next + 1) == mmf::kControlPrefix &&
        At(next + 2) == program) {
      params.program = At(next + 3);
      return MmfEventKind::kVoice;
    }
    return MmfEventKind::kBankSelect;
  }

  const ReadContext& c_;
  size_t pos_;
  size_t end_;
  const SequenceSettings& s_;
  std::vector<MmfEvent>& events_;
  MmfEvent scratch_;
  size_t messageAt_ = 0;  // the first byte of the message being read
  int64_t tick_ = 0;
  const bool keep_ = c_.keepEvents;
  // The absolute channel of the track's channel 0: 4 * (track number - 1) in MA2.
  const int firstChannel_ = s_.ma1 || s_.audio ? 0 : 4 * (s_.trackNumber - 1);
  uint8_t tickMs_ = static_cast<uint8_t>(s_.durationMs);
  uint8_t gateTickMs_ = static_cast<uint8_t>(s_.gateMs);
  std::array<int, 4> window_{};  // MA1 and unshifted channels play in window 0
  std::array<int, 4> lastBank_{};
  std::array<int, 4> lastHigh_{};
  std::array<int, 4> lastLow_{-1, -1, -1, -1};
};

}  // namespace

void ReadSequence(const ReadContext& context, size_t start, size_t end,
                  const SequenceSettings& settings, std::vector<MmfEvent>& events) {
  SequenceReader(context, start, end, settings, events).Run();
}
