#include "mmf/track_encoder.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/compile_limits.h"

namespace {

// Exclusive message headers: FF F0, length 06, then the chip's address bytes.
constexpr uint8_t kFreqHeader[] = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90};
constexpr uint8_t kSlotHeader[] = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x91};

// Control numbers (added to the channel bits).
constexpr int kVoiceProgram = 0x30;
constexpr int kVoiceBank = 0x31;
constexpr int kOctaveShift = 0x32;
constexpr int kModulation = 0x33;
constexpr int kVolume = 0x37;
constexpr int kPan = 0x3A;
constexpr int kExpression = 0x3B;
constexpr int kShortModulation = 0x20;

// The window of shift s covers the 48 notes from 37 + 12s to 84 + 12s.
constexpr int kWindowLow = 37;
constexpr int kWindowSpan = 48;
constexpr int kMinShift = -2;
constexpr int kMaxShift = 2;

// A small parameter (a note, voice or control value); the gate is read whole, as 64 bits.
int Param(const SeqEvent& event, size_t index) { return static_cast<int>(event.params[index]); }

uint8_t ChannelBits(int channel) { return static_cast<uint8_t>(channel << 6); }

// The writers below put bytes at `out` and return the end of what they wrote.
uint8_t* PutByte(uint8_t* out, int value) {
  *out = static_cast<uint8_t>(value);
  return out + 1;
}

// A time of 0-16511 in one or two bytes.
uint8_t* PutTimeValue(uint8_t* out, int64_t value) {
  if (value < 128) {
    return PutByte(out, static_cast<int>(value));
  }
  out = PutByte(out, static_cast<int>(((value >> 7) - 1) | 0x80));
  return PutByte(out, static_cast<int>(value & 0x7F));
}

uint8_t* PutGate(uint8_t* out, int64_t gate) {
  return PutTimeValue(out, std::clamp<int64_t>(gate, 1, kMaxTimeValue));
}

uint8_t* PutExclusive(uint8_t* out, const uint8_t (&header)[6], int address, int value) {
  out = std::copy(std::begin(header), std::end(header), out);
  out = PutByte(out, address);
  out = PutByte(out, value);
  return PutByte(out, 0xF7);
}

// 00, cc + number, value: a control message (its 00 is the message's own status prefix).
uint8_t* PutControl(uint8_t* out, int channel, int number, int value) {
  out = PutByte(out, 0x00);
  out = PutByte(out, ChannelBits(channel) | number);
  return PutByte(out, value);
}

bool WindowHolds(int shift, int note) {
  int low = kWindowLow + 12 * shift;
  return note >= low && note < low + kWindowSpan;
}

// Of the windows that hold `note`, the one whose shift is nearest to `reference`. The
// windows holding a note form a run of shifts, so the nearest one is unique whenever the
// reference lies outside the run, and is the reference itself otherwise.
int NearestWindow(int note, int reference) {
  int best = note < kWindowLow ? kMinShift : kMaxShift;  // only for notes no window holds
  bool found = false;
  for (int shift = kMinShift; shift <= kMaxShift; ++shift) {
    if (WindowHolds(shift, note) &&
        (!found || std::abs(shift - reference) < std::abs(best - reference))) {
      best = shift;
      found = true;
    }
  }
  return best;
}

uint8_t* PutNote(const SeqEvent& event, uint8_t* out, int format, TrackEncoderState& state) {
  int ch = event.channel;
  int note = Param(event, 0);
  if (!state.hasWindow[ch] || !WindowHolds(state.window[ch], note)) {
    int shift = NearestWindow(note, state.hasWindow[ch] ? state.window[ch] : 0);
    // MA1 starts every channel in window 0, so the first move there needs no message.
    bool implied = !state.hasWindow[ch] && shift == 0 && format == kFormatMa1;
    if (!implied) {
      out = PutControl(out, ch, kOctaveShift, shift >= 0 ? shift : (0x80 | -shift));
      out = PutByte(out, 0x00);  // the zero delta of the note that follows
    }
    state.window[ch] = shift;
    state.hasWindow[ch] = true;
  }
  // The octave within the window and the semitone 1-12, from a table: every note asks.
  static constexpr auto kNoteBits = [] {
    std::array<uint8_t, kWindowSpan> bits{};
    for (int v = 0; v < kWindowSpan; ++v) {
      bits[v] = static_cast<uint8_t>((v / 12) << 4 | (v % 12 + 1));
    }
    return bits;
  }();
  // The sequence compiler keeps notes within 13-108; a note outside them is kept in the
  // window so that it never spills into the channel bits.
  int v = std::clamp(note - (kWindowLow + 12 * state.window[ch]), 0, kWindowSpan - 1);
  out = PutByte(out, ChannelBits(ch) | kNoteBits[v]);
  return PutGate(out, event.params[1]);
}

uint8_t* PutFreqNote(const SeqEvent& event, uint8_t* out, int trackIndex,
                     TrackEncoderState& state) {
  int ch = event.channel;
  int b = 4 * trackIndex + ch;
  int low = Param(event, 0);
  int high = Param(event, 1);
  int mode = Param(event, 2);
  out = PutExclusive(out, kFreqHeader, 0xB0 | b, low);
  // Key-on sets bit 5 of the high byte; key-off clears it; a legato change only rewrites the
  // high byte when it differs from the last one of the channel.
  bool writeHigh = mode == 0 || mode == 1 || high != state.lastFreqHigh[ch];
  if (writeHigh) {
    out = PutByte(out, 0x00);  // the zero delta of the second message
    out = PutExclusive(out, kFreqHeader, 0xC0 | b, mode == 0 ? high : (high | 0x20));
  }
  state.lastFreqHigh[ch] = high;
  return out;
}

uint8_t* PutVoice(const SeqEvent& event, uint8_t* out, const std::map<int, int>& voiceSlotUse,
                  TrackEncoderState& state) {
  int ch = event.channel;
  int number = Param(event, 0);
  bool fourOp = Param(event, 1) == 1;
  int bank = (fourOp ? 1 : 0) + (number > 127 ? 0x80 : 0);
  out = PutControl(out, ch, kVoiceBank, bank);
  out = PutByte(out, 0x00);  // the zero delta of the program message
  out = PutControl(out, ch, kVoiceProgram, number % 128);
  state.voiceKey[ch] = number + (fourOp ? 256 : 0);
  auto use = voiceSlotUse.find(number % 128);
  if (use != voiceSlotUse.end() && use->second > 1) {
    state.pending[ch] = true;
  }
  return out;
}

int SlotOf(const std::map<int, int>& voiceSlotOf, int key) {
  auto slot = voiceSlotOf.find(key);
  return slot != voiceSlotOf.end() ? slot->second : 15;
}

// True when a voice-slot message is due on any channel. Seldom: it is asked before every event.
bool AnyPending(const TrackEncoderState& state) {
  uint32_t flags;
  static_assert(sizeof(state.pending) == sizeof(flags));
  std::memcpy(&flags, state.pending.data(), sizeof(flags));
  return flags != 0;
}

// Writes the due voice-slot messages of channel pairs 0/1 and 2/3. Each goes between the
// delta just written and its event: the delta's last byte moves behind the message and a 0
// takes its place, which splits the delta into two parts that add up to it.
uint8_t* PutPendingSlots(uint8_t* out, int trackIndex, const std::map<int, int>& voiceSlotOf,
                         TrackEncoderState& state) {
  for (int pair = 0; pair < 2; ++pair) {
    int first = 2 * pair;
    if (!state.pending[first] && !state.pending[first + 1]) {
      continue;
    }
    const uint8_t deltaTail = out[-1];
    out[-1] = 0x00;
    int slots = (SlotOf(voiceSlotOf, state.voiceKey[first + 1]) << 4) |
                SlotOf(voiceSlotOf, state.voiceKey[first]);
    out = PutExclusive(out, kSlotHeader, 24 + pair + 2 * trackIndex, slots);
    out = PutByte(out, deltaTail);
    state.pending[first] = false;
    state.pending[first + 1] = false;
  }
  return out;
}

// Room for `bytes` more at the end of `image`, to be written through the pointer returned;
// Commit() then sets the image's size to the end of what was written.
uint8_t* Extend(Bytes& image, size_t bytes) {
  const size_t at = image.size();
  image.resize(at + bytes);
  return image.data() + at;
}

void Commit(Bytes& image, const uint8_t* end) {
  image.resize(static_cast<size_t>(end - image.data()));
}

// WriteEvent's body, inline in the writer's loop over a run of events: the call and the registers
// it saved took a sixth of the writer's instructions.
inline uint8_t* PutEvent(const SeqEvent& event, uint8_t* out, int format, int trackIndex,
                         const std::map<int, int>& voiceSlotOf,
                         const std::map<int, int>& voiceSlotUse, TrackEncoderState& state) {
  assert(event.type == 0 || event.type == EV_END_OF_TRACK ||
         (event.channel >= 0 && event.channel < 4));
  if (AnyPending(state) && event.type != EV_VOICE && event.type != 0) {
    out = PutPendingSlots(out, trackIndex, voiceSlotOf, state);
  }
  int ch = event.channel;
  switch (event.type) {
    case EV_FREQ_NOTE:
      return PutFreqNote(event, out, trackIndex, state);
    case EV_NOTE:
      return PutNote(event, out, format, state);
    case EV_ADPCM_NOTE:
      out = PutByte(out, ChannelBits(ch) | Param(event, 0));
      return PutGate(out, event.params[1]);
    case EV_END_OF_TRACK:
      out = PutByte(out, 0xFF);
      return PutByte(out, 0x00);
    case EV_MODULATION:
      if (Param(event, 1) != 0) {
        out = PutByte(out, 0x00);
        return PutByte(out, ChannelBits(ch) | kShortModulation | Param(event, 0));
      }
      return PutControl(out, ch, kModulation, Param(event, 0));
    case EV_PAN:
      return PutControl(out, ch, kPan, Param(event, 0));
    case EV_EXPRESSION:
      if (Param(event, 1) != 0) {
        out = PutByte(out, 0x00);
        return PutByte(out, ChannelBits(ch) | Param(event, 0));
      }
      return PutControl(out, ch, kExpression, Param(event, 0));
    case EV_VOLUME:
      return PutControl(out, ch, kVolume, Param(event, 0));
    case EV_VOICE:
      return PutVoice(event, out, voiceSlotUse, state);
    default:
      return out;
  }
}

}  // namespace

void EncodeDelta(Bytes& image, int64_t delta) {
  Commit(image, WriteDelta(Extend(image, EncodedDeltaSize(delta)), delta));
}

void EncodeGate(Bytes& image, int64_t gate) { Commit(image, PutGate(Extend(image, 2), gate)); }

bool EncodeEvent(const SeqEvent& event, Bytes& image, int format, int trackIndex,
                 const std::map<int, int>& voiceSlotOf, const std::map<int, int>& voiceSlotUse,
                 TrackEncoderState& state) {
  if (event.type == 0) {
    return false;
  }
  // A voice-slot message goes inside the delta before the event, which must be there.
  assert(event.type == EV_VOICE || !image.empty() ||
         !(state.pending[0] || state.pending[1] || state.pending[2] || state.pending[3]));
  uint8_t* out = Extend(image, kMaxMessageBytes);
  Commit(image, WriteEvent(event, out, format, trackIndex, voiceSlotOf, voiceSlotUse, state));
  return true;
}

uint8_t* WriteLongDelta(uint8_t* out, int64_t delta) {
  assert(delta > kMaxTimeValue);
  // Each full step is the longest delta (FF 7F) followed by an FF 00 message.
  static constexpr uint8_t kStep[] = {0xFF, 0x7F, 0xFF, 0x00};
  for (int64_t steps = (delta - 1) / kMaxTimeValue; steps > 0; --steps) {
    out = std::copy(std::begin(kStep), std::end(kStep), out);
  }
  return PutTimeValue(out, (delta - 1) % kMaxTimeValue + 1);
}

uint8_t* WriteEvent(const SeqEvent& event, uint8_t* out, int format, int trackIndex,
                    const std::map<int, int>& voiceSlotOf, const std::map<int, int>& voiceSlotUse,
                    TrackEncoderState& state) {
  return PutEvent(event, out, format, trackIndex, voiceSlotOf, voiceSlotUse, state);
}

uint8_t* WriteEventRun(EventList::Iterator& at, const EventList::Iterator& end, size_t count,
                       uint8_t* out, int64_t& previous, const TrackEncoding& encoding,
                       TrackEncoderState& state) {
  for (; count > 0 && at != end; --count, ++at) {
    const SeqEvent& event = *at;
    if (!KeepsEvent(encoding, event)) {
      continue;
    }
    const int64_t delta = event.time - previous;
    if (delta > kMaxTimeValue) {
      break;
    }
    out = WriteDelta(out, delta);
    out = PutEvent(event, out, encoding.format, encoding.trackIndex, encoding.voiceSlotOf,
                   encoding.voiceSlotUse, state);
    previous = event.time;
  }
  return out;
}
