#include "synth/fm_voice.h"

#include "reader/setup_reader.h"

namespace {

constexpr size_t kTwoOpRecordSize = 13;
constexpr size_t kFourOpRecordSize = 23;
constexpr size_t kOperatorBytes = 5;
constexpr size_t kFirstOperator = 2;

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
    voice.operators[k] = DecodeOperatorFields(record + kFirstOperator + kOperatorBytes * k);
  }
  return voice;
}
