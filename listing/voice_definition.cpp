// Voice records back to the voice block's notation. The W forms list, after effect
// frequency, feedback and algorithm, fifteen fields per operator in the order the score
// writes them; the X and Z forms list the record bytes before its F7.

#include "listing/voice_definition.h"

#include "core/mmf_layout.h"

namespace {

// Voice numbers a score can define: 0-127 melodic, 152-212 for drum notes 24-84.
bool DefinableMa2Number(int voice) {
  return (voice >= 0 && voice <= 127) || (voice >= 152 && voice <= 212);
}

void AddOperator(std::string& text, const OperatorFields& op) {
  const int fields[] = {op.waveform,     op.multiple,      op.envelope,   op.sustain,
                        op.keyScaleRate, op.keyScaleLevel, op.vibrato,    op.vibratoLevel,
                        op.tremolo,      op.tremoloLevel,  op.attackRate, op.decayRate,
                        op.sustainLevel, op.releaseRate,   op.totalLevel};
  for (int value : fields) {
    text += "," + std::to_string(value);
  }
}

// The W forms write the second byte as 1 and an algorithm of 0-1 (two operators) or 4-7
// (four operators, written as 0-3).
bool NamedFieldsSuffice(const VoiceRecord& v) {
  if (v.secondByte != 1) {
    return false;
  }
  return v.kind == VoiceRecordKind::kMa2TwoOp ? v.algorithm <= 1 : v.algorithm >= 4;
}

std::string RawForm(const char* head, const VoiceRecord& v, int number) {
  std::string text = head + std::to_string(number);
  for (size_t i = 0; i + 1 < v.record.size(); ++i) {
    text += "," + std::to_string(v.record[i]);
  }
  return text;
}

bool Complete(const VoiceRecord& v) {
  size_t size = v.kind == VoiceRecordKind::kMa1        ? mmf::kMa1RecordSize
                : v.kind == VoiceRecordKind::kMa2TwoOp ? mmf::kMa2TwoOpRecordSize
                                                       : mmf::kMa2FourOpRecordSize;
  return v.record.size() == size && v.record.back() == mmf::kEndOfExclusive;
}

}  // namespace

std::string WhyNoDefinition(const VoiceRecord& v) {
  if (v.kind == VoiceRecordKind::kOther) {
    return "an exclusive of no known kind";
  }
  if (!Complete(v)) {
    return "the record is not complete";
  }
  if (v.kind == VoiceRecordKind::kMa1 ? v.number > 127 : !DefinableMa2Number(v.voice)) {
    return "voice " + std::to_string(v.voice) + " cannot be defined in a score";
  }
  return "";
}

std::string VoiceDefinition(const VoiceRecord& v) {
  if (!WhyNoDefinition(v).empty()) {
    return "";
  }
  if (v.kind == VoiceRecordKind::kMa1) {
    return RawForm("Z@", v, v.number);
  }
  bool fourOp = v.kind == VoiceRecordKind::kMa2FourOp;
  if (!NamedFieldsSuffice(v)) {
    return RawForm(fourOp ? "X4@" : "X@", v, v.voice);
  }
  std::string text = (fourOp ? "W4@" : "W@") + std::to_string(v.voice);
  text += "," + std::to_string(v.effectFrequency) + "," + std::to_string(v.feedback) + "," +
          std::to_string(fourOp ? v.algorithm - 4 : v.algorithm);
  for (const OperatorFields& op : v.operators) {
    AddOperator(text, op);
  }
  return text;
}
