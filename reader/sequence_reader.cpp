// Sequence data: each event is a delta time and one message (the layout is in
// core/mmf_layout.h). The reader keeps, per channel, the note window and the last bank and
// frequency high byte, so that notes, program changes and legato changes read as absolute
// values. Two message pairs that the writer always puts back to back are read as one event:
// a bank select followed at delta 0 by the same channel's program change (a voice select),
// and the two frequency exclusives of one frequency note.

#include "reader/sequence_reader.h"

#include <algorithm>
#include <array>

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
    return At(pos_) == 0 && At(pos_ + 1) == 0 && At(pos_ + 2) == 0 && At(pos_ + 3) == 0;
  }

  void ReadEndOfSequence() {
    Begin(-1).kind = MmfEventKind::kEndOfSequence;
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

  // Appends the next event in place (events are many and large, so they are never copied).
  // When events are not kept, one scratch event is reused (its data buffer with it).
  MmfEvent& Begin(int channel) {
    MmfEvent* slot = &scratch_;
    if (c_.keepEvents) {
      slot = &events_.emplace_back();
    } else {
      std::vector<uint8_t> buffer = std::move(scratch_.data);
      scratch_ = MmfEvent{};
      scratch_.data = std::move(buffer);
    }
    MmfEvent& event = *slot;
    event.offset = pos_;
    event.tick = tick_;
    event.ms = tick_ * s_.durationMs;
    event.channel = channel;
    if (channel >= 0) {
      event.absChannel = s_.ma1 || s_.audio ? channel : 4 * (s_.trackNumber - 1) + channel;
    }
    return event;
  }

  // Takes back the event just begun (it was cut off).
  void Drop() {
    if (c_.keepEvents) {
      events_.pop_back();
    }
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

  bool ReadGate(MmfEvent& event) {
    if (pos_ >= end_) {
      return CutOff("gate time");
    }
    int64_t gate = 0;
    if (!ReadTime(gate, "gate time")) {
      return false;
    }
    event.gateTicks = gate;
    event.gateMs = gate * s_.gateMs;
    return true;
  }

  bool ReadNote() {
    uint8_t byte = At(pos_);
    int channel = byte >> 6;
    int semitone = byte & 0x0F;
    if (semitone < 1 || semitone > 12) {
      return Unknown("note byte " + Hex(byte) + " names no semitone");
    }
    MmfEvent& event = Begin(channel);
    event.kind = MmfEventKind::kNote;
    event.octave = (byte >> 4) & 0x03;
    event.semitone = semitone;
    event.shift = window_[channel];
    event.note = mmf::kWindowLowestNote + 12 * (event.shift + event.octave) + semitone - 1;
    ++pos_;
    if (!ReadGate(event)) {
      Drop();
      return false;
    }
    return true;
  }

  bool ReadDirectNote() {
    uint8_t byte = At(pos_);
    MmfEvent& event = Begin(byte >> 6);
    event.kind = MmfEventKind::kDirectNote;
    event.waveSlot = byte & 0x3F;
    ++pos_;
    if (!ReadGate(event)) {
      Drop();
      return false;
    }
    return true;
  }

  bool ReadEscape() {
    if (!Left(2)) {
      return CutOff("message FF");
    }
    uint8_t second = At(pos_ + 1);
    if (second == mmf::kNop) {
      Begin(-1).kind = MmfEventKind::kNop;
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
    MmfEvent& event = Begin(-1);
    event.kind = MmfEventKind::kOtherExclusive;
    event.data.assign(c_.data + pos_ + 3, c_.data + pos_ + 3 + length);
    if (length == 0 || event.data.back() != mmf::kEndOfExclusive) {
      c_.Add(FindingKind::kBadValue, pos_, "exclusive does not end in F7");
    }
    pos_ += 3 + length;
    DecodeExclusive(event);
    return true;
  }

  void DecodeExclusive(MmfEvent& event) {
    const std::vector<uint8_t>& d = event.data;
    if (d.size() != 6 || d[0] != mmf::kMakerId || d[5] != mmf::kEndOfExclusive) {
      return;
    }
    if (d[1] == mmf::kMa1Opening && d[2] == mmf::kMa1OpeningTag[0] &&
        d[3] == mmf::kMa1OpeningTag[1]) {
      event.kind = MmfEventKind::kMa1Opening;
      event.value = d[4];
    } else if (d[1] == mmf::kMa2Message && d[2] == mmf::kFrequencyMessage) {
      DecodeFrequency(event);
    } else if (d[1] == mmf::kMa2Message && d[2] == mmf::kVoiceSlotMessage) {
      DecodeVoiceSlots(event);
    }
  }

  static bool IsFrequencyPart(const uint8_t* d, uint8_t part) {
    return d[0] == 0x06 && d[1] == mmf::kMakerId && d[2] == mmf::kMa2Message &&
           d[3] == mmf::kFrequencyMessage && (d[4] & 0xF0) == part && d[6] == mmf::kEndOfExclusive;
  }

  // 43 03 90 (B0 | ch) low F7, then at delta 0 optionally 43 03 90 (C0 | ch) high F7.
  void DecodeFrequency(MmfEvent& event) {
    uint8_t which = event.data[3] & 0xF0;
    int abs = event.data[3] & 0x0F;
    if (which != mmf::kFrequencyLow && which != mmf::kFrequencyHigh) {
      return;
    }
    event.kind = MmfEventKind::kFrequencyNote;
    event.absChannel = abs;
    event.channel = abs & 3;
    int high = -1;
    if (which == mmf::kFrequencyLow) {
      event.fnumberLow = event.data[4];
      // The high half follows as: delta 00, FF F0 06 43 03 90 (C0 | ch) high F7.
      if (Left(10) && At(pos_) == 0 && At(pos_ + 1) == mmf::kEscape &&
          At(pos_ + 2) == mmf::kExclusive &&
          IsFrequencyPart(c_.data + pos_ + 3, mmf::kFrequencyHigh) &&
          (At(pos_ + 7) & 0x0F) == abs) {
        high = At(pos_ + 8);
        event.data.insert(event.data.end(), c_.data + pos_, c_.data + pos_ + 10);
        pos_ += 10;
      }
    } else {
      high = event.data[4];
    }
    if (high >= 0) {
      event.keyState = (high & mmf::kKeyOnBit) != 0 ? KeyState::kOn : KeyState::kOff;
      event.highByte = high & ~mmf::kKeyOnBit & 0xFF;
      lastHigh_[event.channel] = event.highByte;
    } else {
      event.keyState = KeyState::kLegato;
    }
    int inEffect = lastHigh_[event.channel];
    int low = event.fnumberLow >= 0 ? event.fnumberLow : lastLow_[event.channel];
    if (event.fnumberLow >= 0) {
      lastLow_[event.channel] = event.fnumberLow;
    }
    if (inEffect >= 0) {
      event.block = (inEffect >> 2) & 0x07;
      event.fnumber = std::max(0, low) + 256 * std::max(0, (inEffect & 0x03) - 1);
    }
  }

  // 43 03 91 pair slots F7: pair 24 + 2t names channels 0 and 1 of track t, 25 + 2t 2 and 3.
  static void DecodeVoiceSlots(MmfEvent& event) {
    int pair = event.data[3];
    if (pair < mmf::kVoiceSlotPairBase || pair >= mmf::kVoiceSlotPairBase + 8) {
      return;
    }
    event.kind = MmfEventKind::kVoiceSlots;
    event.pairByte = pair;
    int index = pair - mmf::kVoiceSlotPairBase;
    event.pairChannel = 4 * (index / 2) + 2 * (index % 2);
    event.slotLow = event.data[4] & 0x0F;
    event.slotHigh = event.data[4] >> 4;
  }

  // 00, cc + form, and for long controls a value byte.
  bool ReadControl() {
    if (!Left(2)) {
      return CutOff("control");
    }
    uint8_t second = At(pos_ + 1);
    int channel = second >> 6;
    int form = second & 0x3F;
    if (form < mmf::kLongControlFirst) {
      MmfEvent& event = Begin(channel);
      bool modulation = (form & mmf::kShortModulationFlag) != 0;
      event.kind = modulation ? MmfEventKind::kModulation : MmfEventKind::kExpression;
      event.shortForm = true;
      event.value = form & mmf::kShortValueMask;
      event.decoded = std::min(127, modulation ? 8 * event.value + 7 : 8 * event.value + 15);
      pos_ += 2;
      return true;
    }
    if (!Left(3)) {
      return CutOff("control");
    }
    MmfEvent& event = Begin(channel);
    event.control = form;
    event.value = At(pos_ + 2);
    pos_ += 3;
    DecodeLongControl(event);
    return true;
  }

  void DecodeLongControl(MmfEvent& event) {
    int ch = event.channel;
    switch (event.control) {
      case mmf::kModulation:
        event.kind = MmfEventKind::kModulation;
        break;
      case mmf::kExpression:
        event.kind = MmfEventKind::kExpression;
        break;
      case mmf::kVolume:
        event.kind = MmfEventKind::kVolume;
        break;
      case mmf::kPan:
        event.kind = MmfEventKind::kPan;
        break;
      case mmf::kOctaveShift:
        DecodeShift(event);
        return;
      case mmf::kBankSelect:
        DecodeBank(event);
        return;
      case mmf::kProgramChange:
        event.kind = MmfEventKind::kProgramChange;
        SetVoice(event, lastBank_[ch] >= 0 ? lastBank_[ch] : 0, event.value);
        return;
      default:
        event.kind = MmfEventKind::kOtherControl;
        return;
    }
    event.decoded = event.value;
    if (event.value > 127) {
      c_.Add(FindingKind::kBadValue, event.offset,
             "control value " + Hex(event.value) + " above 127");
    }
  }

  void DecodeShift(MmfEvent& event) {
    event.kind = MmfEventKind::kOctaveShift;
    int raw = event.value;
    int shift = (raw & mmf::kNegativeShift) != 0 ? -(raw & 0x7F) : raw;
    if (shift < -mmf::kMaxShift || shift > mmf::kMaxShift) {
      c_.Add(FindingKind::kBadValue, event.offset, "octave shift " + Hex(raw) + " outside -2..+2");
      return;
    }
    event.shift = shift;
    event.decoded = shift;
    window_[event.channel] = shift;
  }

  // A bank select, paired with the program change that follows it at delta 0.
  void DecodeBank(MmfEvent& event) {
    int ch = event.channel;
    lastBank_[ch] = event.value;
    uint8_t program = static_cast<uint8_t>((ch << 6) | mmf::kProgramChange);
    if (Left(4) && At(pos_) == 0 && At(pos_ + 1) == mmf::kControlPrefix &&
        At(pos_ + 2) == program) {
      event.kind = MmfEventKind::kVoice;
      SetVoice(event, event.value, At(pos_ + 3));
      pos_ += 4;
      return;
    }
    event.kind = MmfEventKind::kBankSelect;
    event.bank = event.value;
  }

  static void SetVoice(MmfEvent& event, int bank, int program) {
    event.bank = bank;
    event.program = program;
    event.voice = (program & 0x7F) + ((bank & mmf::kBankDrum) != 0 ? 128 : 0);
    event.voiceKey = event.voice + ((bank & mmf::kBankFourOp) != 0 ? 256 : 0);
  }

  const ReadContext& c_;
  size_t pos_;
  size_t end_;
  const SequenceSettings& s_;
  std::vector<MmfEvent>& events_;
  MmfEvent scratch_;
  int64_t tick_ = 0;
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
