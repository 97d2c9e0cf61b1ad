#include "midi/smf_writer.h"

#include <algorithm>
#include <cassert>

namespace {

constexpr int kMetaEndOfTrack = 0x2F;

// Appends a chunk: its tag, its body size and the body.
// Byte by byte: GCC 12 at -O3 reports a false overflow in a range insert of text into a
// vector that has just grown.
void AppendText(Bytes& out, std::string_view text) {
  for (char c : text) {
    out.push_back(static_cast<uint8_t>(c));
  }
}

void AppendChunk(Bytes& out, std::string_view tag, const Bytes& body) {
  AppendText(out, tag);
  AppendBe32(out, static_cast<uint32_t>(body.size()));
  Append(out, body);
}

// Appends the track chunk: its events in order, then the end of the track. The events are
// ordered through pointers, so that no message is moved, and the body is written in place
// with its size filled in after.
void AppendTrack(Bytes& out, const SmfTrack& track) {
  std::vector<const SmfEvent*> order;
  order.reserve(track.events.size());
  for (const SmfEvent& event : track.events) {
    order.push_back(&event);
  }
  std::stable_sort(order.begin(), order.end(), [](const SmfEvent* a, const SmfEvent* b) {
    return a->tick != b->tick ? a->tick < b->tick : a->rank < b->rank;
  });
  AppendText(out, "MTrk");
  const size_t sizeAt = out.size();
  AppendBe32(out, 0);
  int64_t previous = 0;
  for (const SmfEvent* event : order) {
    assert(event->tick >= previous && event->tick <= kMaxSmfTick);
    AppendVariableLength(out, static_cast<uint32_t>(event->tick - previous));
    Append(out, event->message);
    previous = event->tick;
  }
  int64_t end = std::max(previous, track.endTick);
  AppendVariableLength(out, static_cast<uint32_t>(end - previous));
  Append(out, MetaEvent(kMetaEndOfTrack, {}));
  const auto size = static_cast<uint32_t>(out.size() - sizeAt - 4);
  for (int i = 0; i < 4; ++i) {
    out[sizeAt + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
  }
}

uint8_t DataByte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 127)); }

uint8_t Status(int kind, int channel) { return static_cast<uint8_t>(kind | (channel & 0x0F)); }

}  // namespace

void AppendVariableLength(Bytes& out, uint32_t value) {
  assert(value <= kMaxSmfTick);
  // Seven bits a byte; every group but the lowest carries the continuation bit.
  int shift = 21;
  while (shift > 0 && (value >> shift) == 0) {
    shift -= 7;
  }
  for (; shift > 0; shift -= 7) {
    out.push_back(static_cast<uint8_t>(0x80 | ((value >> shift) & 0x7F)));
  }
  out.push_back(static_cast<uint8_t>(value & 0x7F));
}

Bytes BuildSmf(int division, std::vector<SmfTrack> tracks) {
  assert(division >= 1 && division <= 0x7FFF);
  Bytes header;
  AppendBe16(header, 1);
  AppendBe16(header, static_cast<uint32_t>(tracks.size()));
  AppendBe16(header, static_cast<uint32_t>(division));
  Bytes out;
  AppendChunk(out, "MThd", header);
  for (const SmfTrack& track : tracks) {
    AppendTrack(out, track);
  }
  return out;
}

Bytes NoteOn(int channel, int key, int velocity) {
  return {Status(0x90, channel), DataByte(key), DataByte(velocity)};
}

// A note-on of velocity 0 would do as well; the explicit form reads back unambiguously.
Bytes NoteOff(int channel, int key) { return {Status(0x80, channel), DataByte(key), 0x40}; }

Bytes ControlChange(int channel, int control, int value) {
  return {Status(0xB0, channel), DataByte(control), DataByte(value)};
}

Bytes ProgramChange(int channel, int program) { return {Status(0xC0, channel), DataByte(program)}; }

Bytes PitchBend(int channel, int bend) {
  int value = std::clamp(bend, -8192, 8191) + 8192;  // 14 bits, least significant 7 first
  return {Status(0xE0, channel), static_cast<uint8_t>(value & 0x7F),
          static_cast<uint8_t>(value >> 7)};
}

Bytes MetaEvent(int type, std::string_view data) {
  Bytes out{0xFF, static_cast<uint8_t>(type)};
  AppendVariableLength(out, static_cast<uint32_t>(data.size()));
  AppendText(out, data);
  return out;
}

Bytes TempoEvent(int microsPerQuarter) {
  assert(microsPerQuarter >= 1 && microsPerQuarter <= 0xFFFFFF);
  const auto us = static_cast<uint32_t>(microsPerQuarter);
  return {0xFF,
          0x51,
          0x03,
          static_cast<uint8_t>(us >> 16),
          static_cast<uint8_t>(us >> 8),
          static_cast<uint8_t>(us)};
}
