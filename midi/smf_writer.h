#ifndef QUAVREX_MIDI_SMF_WRITER_H_
#define QUAVREX_MIDI_SMF_WRITER_H_

// Standard MIDI Files, format 1, as bytes.
//
// Header chunk: "MThd", 4-byte big-endian body size (6), then the format (1), the number of
// tracks and the division (ticks per quarter note), each 2 bytes big-endian.
// Track chunk: "MTrk", 4-byte big-endian body size, then events, each a delta time in ticks
// written as a variable-length number (7 bits a byte, most significant first, the top bit
// set on every byte but the last) followed by one message. Channel messages are written in
// full (no running status). Meta events are FF, a type byte, a variable-length data size and
// the data. Every track ends with the meta event FF 2F 00.

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/bytes.h"

// The largest number a variable-length quantity holds (four bytes), so also the latest tick.
constexpr int64_t kMaxSmfTick = 0x0FFFFFFF;

// One message at an absolute tick. At equal ticks events come out by rank, smaller first,
// then in the order they were added.
struct SmfEvent {
  int64_t tick = 0;
  int rank = 0;
  Bytes message;
};

// The events of one track chunk, in any order; the end-of-track event is added on writing,
// at the last event's tick or at `endTick` when that is later.
struct SmfTrack {
  std::vector<SmfEvent> events;
  int64_t endTick = 0;
};

// Appends `value` (0 to kMaxSmfTick) as a variable-length number.
void AppendVariableLength(Bytes& out, uint32_t value);

// The bytes of a format-1 file of `tracks` with `division` ticks per quarter note (1-32767).
// Ticks must lie in 0 to kMaxSmfTick.
Bytes BuildSmf(int division, std::vector<SmfTrack> tracks);

// Messages. Channels are 0-15 (MIDI channel 1-16), data values 0-127.
Bytes NoteOn(int channel, int key, int velocity);
Bytes NoteOff(int channel, int key);
Bytes ControlChange(int channel, int control, int value);
Bytes ProgramChange(int channel, int program);
// `bend` is -8192 (lowest) to 8191 around the centre 0.
Bytes PitchBend(int channel, int bend);
// A meta event of `type` carrying `data`.
Bytes MetaEvent(int type, std::string_view data);
// Set Tempo: microseconds per quarter note, 1 to 0xFFFFFF.
Bytes TempoEvent(int microsPerQuarter);

#endif  // QUAVREX_MIDI_SMF_WRITER_H_
