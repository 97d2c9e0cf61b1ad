#include "mmf/track_encoder.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "core/compiler.h"

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

int ChannelBits(int channel) { return channel << 6; }

void AppendTimeValue(Bytes& image, int64_t value) {
  if (value < 128) {
    AppendU8(image, static_cast<int>(value));
    return;
  }
  AppendU8(image, static_cast<int>(((value >> 7) - 1) | 0x80));
  AppendU8(image, static_cast<int>(value & 0x7F));
}

void AppendExclusive(Bytes& image, const uint8_t (&header)[6], int address, int value) {
  // Byte by byte: a range insert of so few bytes costs more than the bytes themselves.
  for (uint8_t byte : header) {
    image.push_back(byte);
  }
  AppendU8(image, address);
  AppendU8(image, value);
  AppendU8(image, 0xF7);
}

// 00, cc + number, value: a control message (its 00 is the message's own status prefix).
void AppendControl(Bytes& image, int channel, int number, int value) {
  AppendU8(image, 0x00);
  AppendU8(image, ChannelBits(channel) | number);
  AppendU8(image, value);
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

void EncodeNote(const SeqEvent& event, Bytes& image, int format, TrackEncoderState& state) {
  int ch = event.channel;
  int note = Param(event, 0);
  if (!state.hasWindow[ch] || !WindowHolds(state.window[ch], note)) {
    int shift = NearestWindow(note, state.hasWindow[ch] ? state.window[ch] : 0);
    // MA1 starts every channel in window 0, so the first move there needs no message.
    bool implied = !state.hasWindow[ch] && shift == 0 && format == kFormatMa1;
    if (!implied) {
      AppendControl(image, ch, kOctaveShift, shift >= 0 ? shift : (0x80 | -shift));
      AppendU8(image, 0x00);  // the zero delta of the note that follows
    }
    state.window[ch] = shift;
    state.hasWindow[ch] = true;
  }
  // The sequence compiler keeps notes within 13-108; a note outside them is kept in the
  // window so that it never spills into the channel bits.
  int v = std::clamp(note - (kWindowLow + 12 * state.window[ch]), 0, kWindowSpan - 1);
  AppendU8(image, ChannelBits(ch) | ((v / 12) << 4) | (v % 12 + 1));
  EncodeGate(image, event.params[1]);
}

void EncodeFreqNote(const SeqEvent& event, Bytes& image, int trackIndex, TrackEncoderState& state) {
  int ch = event.channel;
  int b = 4 * trackIndex + ch;
  int low = Param(event, 0);
  int high = Param(event, 1);
  int mode = Param(event, 2);
  AppendExclusive(image, kFreqHeader, 0xB0 | b, low);
  // Key-on sets bit 5 of the high byte; key-off clears it; a legato change only rewrites the
  // high byte when it differs from the last one of the channel.
  bool writeHigh = mode == 0 || mode == 1 || high != state.lastFreqHigh[ch];
  if (writeHigh) {
    AppendU8(image, 0x00);  // the zero delta of the second message
    AppendExclusive(image, kFreqHeader, 0xC0 | b, mode == 0 ? high : (high | 0x20));
  }
  state.lastFreqHigh[ch] = high;
}

void EncodeVoice(const SeqEvent& event, Bytes& image, const std::map<int, int>& voiceSlotUse,
                 TrackEncoderState& state) {
  int ch = event.channel;
  int number = Param(event, 0);
  bool fourOp = Param(event, 1) == 1;
  int bank = (fourOp ? 1 : 0) + (number > 127 ? 0x80 : 0);
  AppendControl(image, ch, kVoiceBank, bank);
  AppendU8(image, 0x00);  // the zero delta of the program message
  AppendControl(image, ch, kVoiceProgram, number % 128);
  state.voiceKey[ch] = number + (fourOp ? 256 : 0);
  auto use = voiceSlotUse.find(number % 128);
  if (use != voiceSlotUse.end() && use->second > 1) {
    state.pending[ch] = true;
  }
}

int SlotOf(const std::map<int, int>& voiceSlotOf, int key) {
  auto slot = voiceSlotOf.find(key);
  return slot != voiceSlotOf.end() ? slot->second : 15;
}

// Writes the due voice-slot messages of channel pairs 0/1 and 2/3. Each goes between the
// delta just written and its event: the delta's last byte moves behind the message and a 0
// takes its place, which splits the delta into two parts that add up to it.
void FlushPendingSlots(Bytes& image, int trackIndex, const std::map<int, int>& voiceSlotOf,
                       TrackEncoderState& state) {
  for (int pair = 0; pair < 2; ++pair) {
    int first = 2 * pair;
    if (!state.pending[first] && !state.pending[first + 1]) {
      continue;
    }
    assert(!image.empty());
    uint8_t deltaTail = image.back();
    image.back() = 0x00;
    int slots = (SlotOf(voiceSlotOf, state.voiceKey[first + 1]) << 4) |
                SlotOf(voiceSlotOf, state.voiceKey[first]);
    AppendExclusive(image, kSlotHeader, 24 + pair + 2 * trackIndex, slots);
    image.push_back(deltaTail);
    state.pending[first] = false;
    state.pending[first + 1] = false;
  }
}

}  // namespace

void EncodeDelta(Bytes& image, int64_t delta) {
  if (delta < 0) {
    delta = 0;
  }
  if (delta > kMaxTimeValue) {
    // Each full step is the longest delta (FF 7F) followed by an FF 00 message.
    static constexpr uint8_t kStep[] = {0xFF, 0x7F, 0xFF, 0x00};
    const auto steps = static_cast<size_t>((delta - 1) / kMaxTimeValue);
    const size_t at = image.size();
    image.resize(at + 4 * steps);
    for (size_t i = 0; i < steps; ++i) {
      std::copy(std::begin(kStep), std::end(kStep),
                image.begin() + static_cast<ptrdiff_t>(at + 4 * i));
    }
    delta = (delta - 1) % kMaxTimeValue + 1;
  }
  AppendTimeValue(image, delta);
}

uint64_t EncodedDeltaSize(int64_t delta) {
  if (delta <= 0) {
    return 1;
  }
  // Full steps are 4 bytes each: FF 7F and the FF 00 message.
  const auto steps = static_cast<uint64_t>((delta - 1) / kMaxTimeValue);
  const int64_t last = (delta - 1) % kMaxTimeValue + 1;
  return steps * 4 + (last < 128 ? 1 : 2);
}

void EncodeGate(Bytes& image, int64_t gate) {
  AppendTimeValue(image, std::clamp<int64_t>(gate, 1, kMaxTimeValue));
}

bool EncodeEvent(const SeqEvent& event, Bytes& image, int format, int trackIndex,
                 const std::map<int, int>& voiceSlotOf, const std::map<int, int>& voiceSlotUse,
                 TrackEncoderState& state) {
  if (event.type == 0) {
    return false;
  }
  assert(event.type == EV_END_OF_TRACK || (event.channel >= 0 && event.channel < 4));
  if (event.type != EV_VOICE) {
    FlushPendingSlots(image, trackIndex, voiceSlotOf, state);
  }
  int ch = event.channel;
  switch (event.type) {
    case EV_FREQ_NOTE:
      EncodeFreqNote(event, image, trackIndex, state);
      break;
    case EV_NOTE:
      EncodeNote(event, image, format, state);
      break;
    case EV_ADPCM_NOTE:
      AppendU8(image, ChannelBits(ch) | Param(event, 0));
      EncodeGate(image, event.params[1]);
      break;
    case EV_END_OF_TRACK:
      AppendU8(image, 0xFF);
      AppendU8(image, 0x00);
      break;
    case EV_MODULATION:
      if (Param(event, 1) != 0) {
        AppendU8(image, 0x00);
        AppendU8(image, ChannelBits(ch) | kShortModulation | Param(event, 0));
      } else {
        AppendControl(image, ch, kModulation, Param(event, 0));
      }
      break;
    case EV_PAN:
      AppendControl(image, ch, kPan, Param(event, 0));
      break;
    case EV_EXPRESSION:
      if (Param(event, 1) != 0) {
        AppendU8(image, 0x00);
        AppendU8(image, ChannelBits(ch) | Param(event, 0));
      } else {
        AppendControl(image, ch, kExpression, Param(event, 0));
      }
      break;
    case EV_VOLUME:
      AppendControl(image, ch, kVolume, Param(event, 0));
      break;
    case EV_VOICE:
      EncodeVoice(event, image, voiceSlotUse, state);
      break;
    default:
      break;
  }
  return true;
}
