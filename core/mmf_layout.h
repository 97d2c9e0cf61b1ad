#ifndef QUAVREX_CORE_MMF_LAYOUT_H_
#define QUAVREX_CORE_MMF_LAYOUT_H_

// The .MMF file layout in one place, for the writer and the reader alike. All numbers are
// big-endian. A chunk is a 4-byte tag, a 4-byte size (the body bytes after these 8) and its
// body:
//
//   "MMMD" size                        the whole file after these 8 bytes, CRC included
//     "CNTI" size class type code status copy  options ("XX:value," fields)
//     "MTR" t size  fmt seq d g 00 00  score track, t = 0 (MA1) or 1-4 (MA2)
//       "Mtsu" size exclusives         voice records
//       "Mtsq" size events 00000000    sequence: delta time + message per event
//     "ATR" 00 size fmt seq w 00 d g   audio track; w = wave type
//       "Atsq" size events 00000000
//       "Awa" k size wave bytes        the wave of slot k
//   CRC (2 bytes), then optionally 1D 0F (the EzGet trailer)

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mmf {

// Chunk tags. Track tags carry their number in the fourth byte.
constexpr std::string_view kFileTag = "MMMD";
constexpr std::string_view kContentsTag = "CNTI";
constexpr std::string_view kScoreTrackTag = "MTR";
constexpr std::string_view kAudioTrackTag = "ATR";
constexpr std::string_view kSetupTag = "Mtsu";
constexpr std::string_view kSequenceTag = "Mtsq";
constexpr std::string_view kScoreSeekTag = "MspI";
constexpr std::string_view kAudioSequenceTag = "Atsq";
constexpr std::string_view kAudioSetupTag = "Atsu";
constexpr std::string_view kAudioSeekTag = "AspI";
constexpr std::string_view kWaveTag = "Awa";

constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kContentsFixedSize = 5;  // class, type, code type, status, copy status
constexpr size_t kTrackHeaderSize = 6;    // bytes between a track's chunk header and its chunks
constexpr size_t kCrcSize = 2;
constexpr uint8_t kEzgetTrailer[2] = {0x1D, 0x0F};
constexpr uint16_t kCrcInitial = 0xFFFF;

// Offsets inside the six track header bytes.
constexpr size_t kFormatTypeAt = 0;
constexpr size_t kSequenceTypeAt = 1;
constexpr size_t kScoreDurationBaseAt = 2;
constexpr size_t kScoreGateBaseAt = 3;
constexpr size_t kWaveTypeAt = 2;
constexpr size_t kAudioDurationBaseAt = 4;
constexpr size_t kAudioGateBaseAt = 5;

// Score track numbers: 0 for MA1, 1-4 for the four MA2 tracks.
constexpr int kMa1TrackNumber = 0;
constexpr int kLastMa2TrackNumber = 4;

// Milliseconds of one tick for a timebase code: 0-3 give 1, 2, 4, 5; 0x10-0x13 give 10, 20,
// 40, 50. Any other code is no timebase and gives 0.
constexpr int TimebaseMs(int code) {
  constexpr int kMs[4] = {1, 2, 4, 5};
  if (code >= 0x00 && code <= 0x03) {
    return kMs[code];
  }
  if (code >= 0x10 && code <= 0x13) {
    return 10 * kMs[code - 0x10];
  }
  return 0;
}

// Delta and gate times: one byte for 0-127, two bytes ((value >> 7) - 1) | 0x80, value & 0x7F
// for 128-16511.
constexpr int kMaxTimeValue = 16511;
constexpr uint8_t kTimeContinues = 0x80;

// Message bytes. A message that starts with 00 is a control; FF F0 an exclusive (length byte,
// data ending in F7); FF 00 does nothing; any other first byte is a note (score tracks: cc oo
// nnnn) or a direct note (audio track: cc pppppp). Four zero bytes end a sequence.
constexpr uint8_t kControlPrefix = 0x00;
constexpr uint8_t kEscape = 0xFF;
constexpr uint8_t kExclusive = 0xF0;
constexpr uint8_t kNop = 0x00;
constexpr uint8_t kEndOfExclusive = 0xF7;
constexpr size_t kEndOfSequenceSize = 4;

// Controls: the second byte is cc + a 6-bit form. 0x30-0x3F are long controls with a value
// byte; below that, bit 5 set is the short modulation (1-14), clear the short expression.
constexpr uint8_t kLongControlFirst = 0x30;
constexpr uint8_t kShortModulationFlag = 0x20;
constexpr uint8_t kShortValueMask = 0x1F;
constexpr uint8_t kProgramChange = 0x30;
constexpr uint8_t kBankSelect = 0x31;
constexpr uint8_t kOctaveShift = 0x32;
constexpr uint8_t kModulation = 0x33;
constexpr uint8_t kVolume = 0x37;
constexpr uint8_t kPan = 0x3A;
constexpr uint8_t kExpression = 0x3B;
constexpr uint8_t kNegativeShift = 0x80;  // octave shift byte of -1, -2: 0x81, 0x82
constexpr int kMaxShift = 2;

// Bank byte of a voice select: bit 0 four-operator, bit 7 drum notes (voice numbers 128+).
constexpr uint8_t kBankFourOp = 0x01;
constexpr uint8_t kBankDrum = 0x80;

// The note window: shift s covers the 48 notes 37 + 12s to 84 + 12s.
constexpr int kWindowLowestNote = 37;
constexpr int kWindowNotes = 48;

// Exclusive data, after the length byte.
constexpr uint8_t kMakerId = 0x43;
constexpr uint8_t kMa1Opening = 0x01;  // 43 01 80 31 x F7 opens the MA1 sequence
constexpr uint8_t kMa1Setup = 0x02;    // 43 02 80 x F7 and 43 02 i 00 n + record
constexpr uint8_t kMa2Message = 0x03;  // 43 03 ...
constexpr uint8_t kMa1OpeningTag[2] = {0x80, 0x31};
constexpr uint8_t kMa1SetupOpening = 0x80;
constexpr uint8_t kFrequencyMessage = 0x90;  // 43 03 90 (B0|ch) low F7, 43 03 90 (C0|ch) high F7
constexpr uint8_t kVoiceSlotMessage = 0x91;  // 43 03 91 pair slots F7
constexpr uint8_t kFrequencyLow = 0xB0;
constexpr uint8_t kFrequencyHigh = 0xC0;
constexpr uint8_t kKeyOnBit = 0x20;
constexpr int kVoiceSlotPairBase = 24;  // 24 + 2t: channels 0 and 1 of track t; 25 + 2t: 2 and 3
constexpr int kNoVoiceSlot = 15;

// Voice records (the bytes after the three header bytes of a setup message, F7 included).
constexpr size_t kMa1RecordSize = 14;
constexpr size_t kMa2TwoOpRecordSize = 13;
constexpr size_t kMa2FourOpRecordSize = 23;
constexpr size_t kOperatorSize = 5;

// Wave type byte of the audio track: bit 7 stereo, bits 6-4 the coding (1 = 4-bit ADPCM),
// bits 3-0 the rate (0 = 4000 Hz, 1 = 8000 Hz).
constexpr uint8_t kWaveType4k = 0x10;
constexpr uint8_t kWaveType8k = 0x11;
constexpr int kWaveCodingAdpcm = 1;

}  // namespace mmf

#endif  // QUAVREX_CORE_MMF_LAYOUT_H_
