#include "listing/event_text.h"

#include <cstdio>
#include <string>

#include "reader/mmf_reader.h"

namespace {

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

std::string Num(int64_t value) { return std::to_string(value); }

std::string Gate(const MmfEvent& e) {
  return "gate " + Num(e.gateTicks()) + " (" + Seconds(e.gateMs()) + " s)";
}

std::string ControlText(const char* name, const MmfEvent& e) {
  std::string text = std::string(name) + " " + Num(e.decoded());
  if (e.shortForm()) {
    text += " (short form " + Num(e.value()) + ")";
  }
  return text;
}

std::string FrequencyText(const MmfEvent& e) {
  const char* state = e.keyState() == KeyState::kOn    ? "key on"
                      : e.keyState() == KeyState::kOff ? "key off"
                                                       : "legato change";
  std::string text = std::string("frequency ") + state;
  if (e.fnumber() >= 0) {
    text += " F-number " + Num(e.fnumber()) + " block " + Num(e.block());
  }
  text += " (low " + (e.fnumberLow() >= 0 ? Hex2(e.fnumberLow()) : std::string("-")) + ", high " +
          (e.highByte() >= 0 ? Hex2(e.highByte()) : std::string("-")) + ")";
  return text;
}

std::string SlotName(int slot) { return slot == 15 ? "none" : Num(slot); }

std::string ExclusiveText(const MmfFile& file, const MmfEvent& e) {
  std::string text = "exclusive";
  for (uint8_t b : ExclusiveData(file, e)) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    text += hex;
  }
  return text;
}

}  // namespace

std::string NoteName(int note) {
  static const char* const kNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
  if (note < 0) {
    return "?";
  }
  return "O" + Num(note / 12 - 1) + " " + kNames[note % 12];
}

std::string Seconds(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  return text;
}

const char* EventKindName(MmfEventKind kind) {
  switch (kind) {
    case MmfEventKind::kNote:
      return "note";
    case MmfEventKind::kDirectNote:
      return "wave";
    case MmfEventKind::kModulation:
      return "modulation";
    case MmfEventKind::kExpression:
      return "expression";
    case MmfEventKind::kVolume:
      return "volume";
    case MmfEventKind::kPan:
      return "pan";
    case MmfEventKind::kOctaveShift:
      return "window";
    case MmfEventKind::kVoice:
      return "voice";
    case MmfEventKind::kBankSelect:
      return "bank";
    case MmfEventKind::kProgramChange:
      return "program";
    case MmfEventKind::kOtherControl:
      return "control";
    case MmfEventKind::kFrequencyNote:
      return "frequency";
    case MmfEventKind::kVoiceSlots:
      return "voice-slots";
    case MmfEventKind::kMa1Opening:
      return "ma1-opening";
    case MmfEventKind::kOtherExclusive:
      return "exclusive";
    case MmfEventKind::kNop:
      return "nop";
    case MmfEventKind::kEndOfSequence:
      return "end";
  }
  return "?";
}

std::string EventText(const MmfFile& file, const MmfEvent& e) {
  switch (e.kind) {
    case MmfEventKind::kNote:
      return "note " + NoteName(e.note()) + " " + Gate(e);
    case MmfEventKind::kDirectNote:
      return "wave " + Num(e.waveSlot()) + " " + Gate(e);
    case MmfEventKind::kModulation:
      return ControlText("modulation", e);
    case MmfEventKind::kExpression:
      return ControlText("expression", e);
    case MmfEventKind::kVolume:
      return "volume " + Num(e.value());
    case MmfEventKind::kPan:
      return "pan " + Num(e.value());
    case MmfEventKind::kOctaveShift:
      return "window " + std::string(e.shift() > 0 ? "+" : "") + Num(e.shift()) + " (notes " +
             NoteName(37 + 12 * e.shift()) + " to " + NoteName(84 + 12 * e.shift()) + ")";
    case MmfEventKind::kVoice:
    case MmfEventKind::kProgramChange:
      return std::string(e.kind == MmfEventKind::kVoice ? "voice " : "program change, voice ") +
             Num(e.voice()) + (e.bank() & 1 ? " four-operator" : "") + " (bank " + Hex2(e.bank()) +
             ", program " + Num(e.program()) + ")";
    case MmfEventKind::kBankSelect:
      return "bank " + Hex2(e.bank());
    case MmfEventKind::kOtherControl:
      return "control " + Hex2(e.control()) + " value " + Num(e.value());
    case MmfEventKind::kFrequencyNote:
      return FrequencyText(e);
    case MmfEventKind::kVoiceSlots:
      return "voice slots: channel " + Num(e.pairChannel() + 1) + " slot " + SlotName(e.slotLow()) +
             ", channel " + Num(e.pairChannel() + 2) + " slot " + SlotName(e.slotHigh());
    case MmfEventKind::kMa1Opening:
      return "MA1 opening " + Hex2(e.value());
    case MmfEventKind::kOtherExclusive:
      return ExclusiveText(file, e);
    case MmfEventKind::kNop:
      return "FF 00";
    case MmfEventKind::kEndOfSequence:
      return "end of sequence";
  }
  return "?";
}
