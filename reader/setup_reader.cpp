// The setup chunk: one exclusive per voice (FF F0 length data), the data being
//   MA1  43 02 80 x F7                 opening
//        43 02 i 00 n + 14-byte record  voice n in message i
//   MA2  43 03 s b n + 13- or 23-byte record, b = bank byte (bit 0 four-operator, bit 7 drum)

#include "reader/setup_reader.h"

#include "core/mmf_layout.h"

namespace {

constexpr size_t kVoiceHeaderSize = 5;  // 43, format, slot or index, bank, number

}  // namespace

OperatorFields DecodeOperatorFields(const uint8_t* g) {
  OperatorFields op;
  op.multiple = g[0] >> 4;
  op.vibrato = (g[0] >> 3) & 1;
  op.envelope = (g[0] >> 2) & 1;
  op.sustain = (g[0] >> 1) & 1;
  op.keyScaleRate = g[0] & 1;
  op.releaseRate = g[1] >> 4;
  op.decayRate = g[1] & 0x0F;
  op.attackRate = g[2] >> 4;
  op.sustainLevel = g[2] & 0x0F;
  op.totalLevel = g[3] >> 2;
  op.keyScaleLevel = g[3] & 3;
  op.vibratoLevel = g[4] >> 6;
  op.tremoloLevel = (g[4] >> 4) & 3;
  op.tremolo = (g[4] >> 3) & 1;
  op.waveform = g[4] & 7;
  return op;
}

namespace {

void ReadVoice(const ReadContext& c, const std::vector<uint8_t>& d, size_t offset,
               ScoreTrack& track) {
  VoiceRecord voice;
  voice.offset = offset;
  voice.slot = d[2];
  voice.bank = d[3];
  voice.number = d[4];
  voice.record.assign(d.begin() + kVoiceHeaderSize, d.end());
  size_t expected = 0;
  if (d[1] == mmf::kMa1Setup) {
    voice.kind = VoiceRecordKind::kMa1;
    voice.voice = voice.number;
    voice.voiceKey = voice.number;
    expected = mmf::kMa1RecordSize;
  } else {
    bool fourOp = (voice.bank & mmf::kBankFourOp) != 0;
    voice.kind = fourOp ? VoiceRecordKind::kMa2FourOp : VoiceRecordKind::kMa2TwoOp;
    voice.voice = (voice.number & 0x7F) + ((voice.bank & mmf::kBankDrum) != 0 ? 128 : 0);
    voice.voiceKey = voice.voice + (fourOp ? 256 : 0);
    expected = fourOp ? mmf::kMa2FourOpRecordSize : mmf::kMa2TwoOpRecordSize;
    if (voice.record.size() + 1 >= expected) {
      DecodeMa2Fields(voice.record, fourOp ? 4 : 2, voice);
    }
  }
  voice.complete = voice.record.size() == expected;
  if (!voice.complete) {
    c.Add(FindingKind::kSizeMismatch, offset,
          "voice record of " + std::to_string(voice.record.size()) + " bytes, expected " +
              std::to_string(expected));
  }
  track.voices.push_back(std::move(voice));
}

void DecodeSetupMessage(const ReadContext& c, const std::vector<uint8_t>& d, size_t offset,
                        ScoreTrack& track) {
  bool ma1 = d.size() >= 2 && d[0] == mmf::kMakerId && d[1] == mmf::kMa1Setup;
  bool ma2 = d.size() >= 2 && d[0] == mmf::kMakerId && d[1] == mmf::kMa2Message;
  if (ma1 && d.size() == 5 && d[2] == mmf::kMa1SetupOpening) {
    track.setupOpening = d[3];
    return;
  }
  if ((ma1 || ma2) && d.size() > kVoiceHeaderSize) {
    ReadVoice(c, d, offset, track);
    return;
  }
  VoiceRecord other;
  other.offset = offset;
  other.record = d;
  track.voices.push_back(std::move(other));
  c.Add(FindingKind::kUnknownMessage, offset, "setup exclusive of no known kind");
}

}  // namespace

void DecodeMa2Fields(const std::vector<uint8_t>& record, int operatorCount, VoiceRecord& voice) {
  if (record.size() < 2 + mmf::kOperatorSize * operatorCount) {
    return;
  }
  voice.effectFrequency = record[0] >> 6;
  voice.feedback = (record[0] >> 3) & 7;
  voice.algorithm = record[0] & 7;
  voice.secondByte = record[1];
  voice.operators.clear();
  for (int k = 0; k < operatorCount; ++k) {
    voice.operators.push_back(DecodeOperatorFields(record.data() + 2 + mmf::kOperatorSize * k));
  }
}

void ReadSetup(const ReadContext& c, size_t start, size_t end, ScoreTrack& track) {
  track.hasSetup = true;
  size_t pos = start;
  while (pos < end) {
    if (c.data[pos] != mmf::kEscape || end - pos < 2 || c.data[pos + 1] != mmf::kExclusive) {
      c.Add(FindingKind::kUnknownMessage, pos,
            "setup chunk byte " + Hex(c.data[pos]) + " starts no exclusive");
      return;
    }
    if (end - pos < 3 || end - pos - 3 < c.data[pos + 2]) {
      c.Add(FindingKind::kTruncated, pos, "setup exclusive cut off by the end of the chunk");
      return;
    }
    size_t length = c.data[pos + 2];
    std::vector<uint8_t> d(c.data + pos + 3, c.data + pos + 3 + length);
    if (d.empty() || d.back() != mmf::kEndOfExclusive) {
      c.Add(FindingKind::kBadValue, pos, "setup exclusive does not end in F7");
    }
    DecodeSetupMessage(c, d, pos, track);
    pos += 3 + length;
  }
}
