#include "synth/fm_voice.h"

namespace {

constexpr size_t kTwoOpRecordSize = 13;
constexpr size_t kFourOpRecordSize = 23;
constexpr size_t kOperatorBytes = 5;
constexpr size_t kFirstOperator = 2;

FmOperator DecodeOperator(const uint8_t* group) {
  FmOperator op;
  op.multiple = group[0] >> 4;
  op.vibrato = (group[0] & 0x08) != 0;
  op.envelope = (group[0] & 0x04) != 0;
  op.sustain = (group[0] & 0x02) != 0;
  op.keyScaleRate = (group[0] & 0x01) != 0;
  op.releaseRate = group[1] >> 4;
  op.decayRate = group[1] & 0x0F;
  op.attackRate = group[2] >> 4;
  op.sustainLevel = group[2] & 0x0F;
  op.totalLevel = group[3] >> 2;
  op.keyScaleLevel = group[3] & 0x03;
  op.vibratoLevel = group[4] >> 6;
  op.tremoloLevel = (group[4] >> 4) & 0x03;
  op.tremolo = (group[4] & 0x08) != 0;
  op.waveform = group[4] & 0x07;
  return op;
}

}  // namespace

FmVoice DecodeFmVoice(const uint8_t* record, size_t size) {
  FmVoice voice;
  if (size != kTwoOpRecordSize && size != kFourOpRecordSize) {
    return voice;
  }
  voice.fourOp = size == kFourOpRecordSize;
  voice.effectFrequency = record[0] >> 6;
  voice.feedback = (record[0] >> 3) & 0x07;
  voice.algorithm = record[0] & 0x07;
  for (int k = 0; k < voice.OperatorCount(); ++k) {
    voice.operators[k] = DecodeOperator(record + kFirstOperator + kOperatorBytes * k);
  }
  return voice;
}
