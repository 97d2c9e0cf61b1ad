#ifndef QUAVREX_MMF_TRACK_ENCODER_H_
#define QUAVREX_MMF_TRACK_ENCODER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

#include "core/bytes.h"
#include "core/seq_event.h"

// Sequence data inside "Mtsq" and "Atsq": each event is a delta time and one message.
//
// A delta or gate time is one byte for 0-127, or two bytes for 128-16511: first
// ((value >> 7) - 1) | 0x80, then value & 0x7F. Messages put the channel (0-3) in the top
// two bits of their status byte:
//   note           cc oo nnnn (octave 0-3 inside the channel's window, semitone 1-12), gate
//   direct note    cc pppppp, gate
//   short control  00, cc 1v vvvv or cc vvvvvv
//   control        00, cc + number 0x30-0x3F, value
//   exclusive      FF F0, length, data ending in F7 (the length counts the data with its F7)
//   FF 00          FF 00

// The largest time one delta or gate can hold (bytes FF 7F).
constexpr int kMaxTimeValue = 16511;

// What the encoder remembers within one track. A fresh state starts every track, so nothing
// carries over from one track, or one compile, into the next.
struct TrackEncoderState {
  // Octave shift (-2 ... +2) of each channel's note window; meaningful once hasWindow is set.
  std::array<int, 4> window{};
  std::array<bool, 4> hasWindow{};
  // Second byte of the last frequency note of each channel; -1 before the first.
  std::array<int, 4> lastFreqHigh{-1, -1, -1, -1};
  // Voice key (bank * 256 + number) each channel selected last.
  std::array<int, 4> voiceKey{};
  // The channel selected a voice whose number alone does not name its voice slot, so a
  // slot message for its channel pair is due before the next other event.
  std::array<bool, 4> pending{};
};

// The most bytes WriteEvent writes for one event: a frequency note's two exclusive messages
// after the voice-slot messages of both channel pairs.
constexpr size_t kMaxMessageBytes = 40;

// Appends a delta time. A negative delta is written as 0; a delta above 16511 is written as
// whole steps of 16511 followed by an FF 00 message, then the remainder (1-16511).
void EncodeDelta(Bytes& image, int64_t delta);

// The number of bytes EncodeDelta writes for `delta`.
inline uint64_t EncodedDeltaSize(int64_t delta) {
  if (delta <= kMaxTimeValue) {
    return delta < 128 ? 1 : 2;
  }
  // Full steps are 4 bytes each: FF 7F and the FF 00 message.
  const auto steps = static_cast<uint64_t>((delta - 1) / kMaxTimeValue);
  const int64_t last = (delta - 1) % kMaxTimeValue + 1;
  return steps * 4 + (last < 128 ? 1 : 2);
}

// Appends a gate time clamped to 1-16511.
void EncodeGate(Bytes& image, int64_t gate);

// Appends the message of `event` after the delta the caller has just appended. `trackIndex`
// is the MA2 score track (0-3), 0 for MA1 and for the audio track. `voiceSlotOf` (voice key ->
// voice slot) and `voiceSlotUse` (voice number -> how many voices of the setup chunk carry it)
// are the setup chunk's slot assignment. Returns false, writing nothing, for an event of type
// 0; writes nothing for a type it does not know.
bool EncodeEvent(const SeqEvent& event, Bytes& image, int format, int trackIndex,
                 const std::map<int, int>& voiceSlotOf, const std::map<int, int>& voiceSlotUse,
                 TrackEncoderState& state);

// The same two steps writing at `out` instead of appending, for a writer that makes room for
// many events at once; each returns the end of what it wrote. WriteDelta needs room for
// EncodedDeltaSize(delta) bytes, WriteEvent for kMaxMessageBytes and the delta just written
// before `out` (a voice-slot message goes inside it).
inline uint8_t* WriteDelta(uint8_t* out, int64_t delta);
uint8_t* WriteEvent(const SeqEvent& event, uint8_t* out, int format, int trackIndex,
                    const std::map<int, int>& voiceSlotOf, const std::map<int, int>& voiceSlotUse,
                    TrackEncoderState& state);

// WriteDelta for a delta above 16511.
uint8_t* WriteLongDelta(uint8_t* out, int64_t delta);

// What one track's events are written with: see EncodeEvent. With `usedSlots` set, an event is
// kept only when the slot of its channel (usedSlots[channel]) produced a note.
struct TrackEncoding {
  int format;
  int trackIndex;
  const std::map<int, int>& voiceSlotOf;
  const std::map<int, int>& voiceSlotUse;
  const uint8_t* usedSlots;
};

inline bool KeepsEvent(const TrackEncoding& encoding, const SeqEvent& event) {
  const auto channel = static_cast<uint8_t>(event.channel);
  return encoding.usedSlots == nullptr || (channel <= 3 && encoding.usedSlots[channel] != 0);
}

// Writes the events from `at` on at `out`, each as its delta from the last event written
// (`previous`, which moves with it) and its message; an event not kept is passed over, and its
// time folds into the next kept delta. `out` has room for `count` events whose deltas take two
// bytes at most. Stops after `count` events, at `end`, or at a kept event whose delta is longer,
// which is left to the caller to measure. Returns the end of what it wrote. One loop over the
// events of a run, beside the message writers, takes a sixth fewer instructions than a call for
// each event.
uint8_t* WriteEventRun(EventList::Iterator& at, const EventList::Iterator& end, size_t count,
                       uint8_t* out, int64_t& previous, const TrackEncoding& encoding,
                       TrackEncoderState& state);

// The deltas of almost every event fit in two bytes; only the rest leave the writer's loop.
inline uint8_t* WriteDelta(uint8_t* out, int64_t delta) {
  if (delta < 128) {
    *out = static_cast<uint8_t>(delta < 0 ? 0 : delta);
    return out + 1;
  }
  if (delta <= kMaxTimeValue) {
    out[0] = static_cast<uint8_t>(((delta >> 7) - 1) | 0x80);
    out[1] = static_cast<uint8_t>(delta & 0x7F);
    return out + 2;
  }
  return WriteLongDelta(out, delta);
}

#endif  // QUAVREX_MMF_TRACK_ENCODER_H_
