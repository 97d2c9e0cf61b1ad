// The setup chunk: the voice parameters of every voice the score selects.
//
// Chunk: "Mtsu", a 4-byte size (left 0 here; the writer fills it), then exclusive messages
// "FF F0" + length + body, where the length counts the body from 43 up to the record's F7.
//   MA1:  opening  FF F0 05 43 02 80 x F7          (x = the exclusive parameter byte)
//         voice i  FF F0 13 43 02 i 00 n + record  (i = 0, 1, ... in list order; n = voice)
//   MA2:  FF F0 1C 43 03 s 01|81 number + 23-byte record   (4-operator melodic | drum)
//         FF F0 12 43 03 s 00|80 number + 13-byte record   (2-operator melodic | drum)
// MA2 gives each voice one of the chip's sixteen voice slots s. A 4-operator voice in slot s
// also occupies slot s + 4, so the 4-operator voices come first (slots 0-3, then 8-11, ...)
// and the 2-operator voices fill the slots around them.

#include <cassert>

#include "core/messages.h"
#include "core/sjis.h"
#include "mmf/mmf_image.h"

namespace {

namespace mm = messages::mmf;

constexpr int kVoiceSlotCount = 16;

void AppendChunkHead(Bytes& chunk) {
  Append(chunk, "Mtsu");
  AppendBe32(chunk, 0);
}

template <typename Record>
void AppendRecord(Bytes& chunk, const Record& record) {
  chunk.insert(chunk.end(), record.begin(), record.end());
}

// The 4-operator slot after `slot`: 4-7 are the second halves of 0-3, so 3 is followed by 8.
int NextFourOpSlot(int slot) { return slot == 3 ? 8 : slot + 1; }

// The 2-operator slot after `slot` when the first 2-operator voice took slot `first`: the
// slots 4-7 (after 3) and 12-15 (after 11) that the 4-operator voices occupy are skipped.
int NextTwoOpSlot(int slot, int first) {
  if (slot == 3 && first <= 4) {
    return first + 4;
  }
  if (slot == 11 && first >= 8 && first <= 12) {
    return first + 4;
  }
  return slot + 1;
}

// MA1: the opening message and one message per voice, numbered in list order.
void WriteMa1Voices(const std::vector<int>& usedVoices, const VoiceDefinitions& voices,
                    SetupChunk& setup) {
  Bytes& chunk = setup.bytes;
  AppendChunkHead(chunk);
  Append(chunk, Bytes{0xFF, 0xF0, 0x05, 0x43, 0x02, 0x80, voices.exclusiveParam, 0xF7});
  int index = 0;
  for (int key : usedVoices) {
    assert(key >= 0 && key < 128 && "MA1 parts select voices 0-127 only");
    Append(chunk, Bytes{0xFF, 0xF0, 0x13, 0x43, 0x02});
    AppendU8(chunk, index++);
    AppendU8(chunk, 0x00);
    AppendU8(chunk, key);
    AppendRecord(chunk, voices.ma1[key]);
  }
}

// MA2: writes the message of one voice in its slot and records the slot and its number.
void PlaceMa2Voice(const VoiceDefinitions& voices, SetupChunk& setup, int key, int slot) {
  assert(key >= 0 && key < 512);
  const bool fourOp = key >= 256;
  const int inBank = key & 0xFF;  // melodic 0-127, drum 128-255
  const int number = inBank & 0x7F;
  const int kind = (fourOp ? 0x01 : 0x00) | (inBank >= 128 ? 0x80 : 0x00);
  Append(setup.bytes, Bytes{0xFF, 0xF0, static_cast<uint8_t>(fourOp ? 0x1C : 0x12), 0x43, 0x03,
                            static_cast<uint8_t>(slot), static_cast<uint8_t>(kind),
                            static_cast<uint8_t>(number)});
  if (fourOp) {
    AppendRecord(setup.bytes, voices.ma2FourOp[inBank]);
  } else {
    AppendRecord(setup.bytes, voices.ma2[inBank]);
  }
  setup.voiceSlotOf[key] = slot;
  ++setup.voiceSlotUse[number];
}

// MA2: the 4-operator voices first, then the 2-operator ones in the slots left around them.
bool WriteMa2Voices(const std::vector<int>& usedVoices, const VoiceDefinitions& voices,
                    SetupChunk& setup) {
  AppendChunkHead(setup.bytes);
  int slot = 0;
  int lastFourOp = -1;
  for (int key : usedVoices) {
    if (key < 256) {
      continue;
    }
    if (slot >= kVoiceSlotCount) {
      return false;
    }
    PlaceMa2Voice(voices, setup, key, slot);
    lastFourOp = slot;
    slot = NextFourOpSlot(slot);
  }
  const int first = lastFourOp < 0 ? 0 : NextFourOpSlot(lastFourOp);
  slot = first;
  for (int key : usedVoices) {
    if (key >= 256) {
      continue;
    }
    if (slot >= kVoiceSlotCount) {
      return false;
    }
    PlaceMa2Voice(voices, setup, key, slot);
    slot = NextTwoOpSlot(slot, first);
  }
  return true;
}

}  // namespace

StageResult<SetupChunk> BuildSetupChunk(const std::vector<int>& usedVoices,
                                        const VoiceDefinitions& voices, int format,
                                        bool voiceSetup) {
  SetupChunk setup;
  if (usedVoices.empty()) {
    return setup;
  }
  if (format == kFormatMa1) {
    // MA1 files carry the voices only when the voice-setup option asks for them.
    if (voiceSetup) {
      WriteMa1Voices(usedVoices, voices, setup);
    }
    return setup;
  }
  if (!WriteMa2Voices(usedVoices, voices, setup)) {
    return CompileFault{Sjis(mm::kTooManyVoices), {}};
  }
  return setup;
}
