#include "voices/voice_params.h"

#include <cassert>
#include <climits>

#include "core/messages.h"

namespace {

namespace vm = messages::voices;

// Record header fields.
constexpr BitField kEffectFrequency = {0, 6};
constexpr BitField kFeedback = {0, 3};
constexpr BitField kAlgorithm = {0, 0};
constexpr BitField kAlgorithmGiven = {1, 0};  // byte 1 as a whole becomes 1

// Operator group fields.
constexpr BitField kMultiple = {0, 4};
constexpr BitField kVibratoFlag = {0, 3};
constexpr BitField kEnvelope = {0, 2};
constexpr BitField kSustainFlag = {0, 1};
constexpr BitField kKeyScaleRate = {0, 0};
constexpr BitField kReleaseRate = {1, 4};
constexpr BitField kDecayRate = {1, 0};
constexpr BitField kAttackRate = {2, 4};
constexpr BitField kSustainLevel = {2, 0};
constexpr BitField kTotalLevel = {3, 2};
constexpr BitField kKeyScaleLevel = {3, 0};
constexpr BitField kVibratoLevel = {4, 6};
constexpr BitField kTremoloLevel = {4, 4};
constexpr BitField kTremoloFlag = {4, 3};
constexpr BitField kWaveform = {4, 0};

constexpr ParamStore V = ParamStore::kValue;

// clang-format off
// W forms: every value is stored unchanged.
constexpr VoiceParam kWHeader2[] = {
  {0, 3, V, kEffectFrequency, kNoField, vm::kEffectFrequency},
  {0, 7, V, kFeedback, kNoField, vm::kFeedback},
  {0, 1, V, kAlgorithm, kAlgorithmGiven, vm::kAlgorithm2},
};
// The 4-operator algorithms 0-3 are the chip's algorithms 4-7.
constexpr VoiceParam kWHeader4[] = {
  {0, 3, V, kEffectFrequency, kNoField, vm::kEffectFrequency},
  {0, 7, V, kFeedback, kNoField, vm::kFeedback},
  {0, 3, ParamStore::kPlusFour, kAlgorithm, kAlgorithmGiven, vm::kAlgorithm4},
};
constexpr VoiceParam kWOperator[] = {
  {0, 7, V, kWaveform, kNoField, vm::kWaveform},
  {0, 15, V, kMultiple, kNoField, vm::kMultiple},
  {0, 1, V, kEnvelope, kNoField, vm::kEnvelope},
  {0, 1, V, kSustainFlag, kNoField, vm::kSustainFlag},
  {0, 1, V, kKeyScaleRate, kNoField, vm::kKeyScaleRate},
  {0, 3, V, kKeyScaleLevel, kNoField, vm::kKeyScaleLevel},
  {0, 1, V, kVibratoFlag, kNoField, vm::kVibratoFlag},
  {0, 3, V, kVibratoLevel, kNoField, vm::kVibratoLevel},
  {0, 1, V, kTremoloFlag, kNoField, vm::kTremoloFlag},
  {0, 3, V, kTremoloLevel, kNoField, vm::kTremoloLevel},
  {0, 15, V, kAttackRate, kNoField, vm::kAttackRate},
  {0, 15, V, kDecayRate, kNoField, vm::kDecayRate},
  {0, 15, V, kSustainLevel, kNoField, vm::kSustainLevel},
  {0, 15, V, kReleaseRate, kNoField, vm::kReleaseRate},
  {0, 63, V, kTotalLevel, kNoField, vm::kTotalLevel},
};

// V forms: rates and levels count the other way, waveform and key scale rate from 1, and
// vibrato and tremolo each take one value that switches the effect on with a level.
constexpr VoiceParam kIgnored = {0, INT_MAX, ParamStore::kIgnored, kNoField, kNoField, {}};
constexpr VoiceParam kVHeader2[] = {
  kIgnored,
  kIgnored,
  {0, 3, V, kEffectFrequency, kNoField, vm::kEffectFrequency},
  {0, 7, V, kFeedback, kNoField, vm::kFeedback},
  {1, 2, ParamStore::kMinusOne, kAlgorithm, kAlgorithmGiven, vm::kAlgorithmV2},
  kIgnored,
};
constexpr VoiceParam kVHeader4[] = {
  kIgnored,
  kIgnored,
  {0, 3, V, kEffectFrequency, kNoField, vm::kEffectFrequency},
  {0, 7, V, kFeedback, kNoField, vm::kFeedback},
  {3, 6, ParamStore::kPlusOne, kAlgorithm, kAlgorithmGiven, vm::kAlgorithmV4},
  kIgnored,
};
constexpr VoiceParam kVOperator[] = {
  {0, 15, V, kMultiple, kNoField, vm::kMultiple},
  {0, 1, V, kEnvelope, kNoField, vm::kEnvelope},
  {0, 1, V, kSustainFlag, kNoField, vm::kSustainFlag},
  {1, 2, ParamStore::kMinusOne, kKeyScaleRate, kNoField, vm::kKeyScaleRateV},
  {0, 3, ParamStore::kSwapMiddle, kKeyScaleLevel, kNoField, vm::kKeyScaleLevel},
  {1, 64, ParamStore::kFrom64, kTotalLevel, kNoField, vm::kTotalLevelV},
  {0, 15, ParamStore::kFrom15, kAttackRate, kNoField, vm::kAttackRate},
  {1, 16, ParamStore::kFrom16, kDecayRate, kNoField, vm::kDecayRateV},
  {1, 16, ParamStore::kFrom16, kSustainLevel, kNoField, vm::kSustainLevelV},
  {1, 16, ParamStore::kFrom16, kReleaseRate, kNoField, vm::kReleaseRateV},
  {1, 8, ParamStore::kMinusOne, kWaveform, kNoField, vm::kWaveformV},
  {0, 4, ParamStore::kSwitchedLevel, kVibratoLevel, kVibratoFlag, vm::kVibratoV},
  {0, 4, ParamStore::kSwitchedLevel, kTremoloLevel, kTremoloFlag, vm::kTremoloV},
};
// clang-format on

constexpr NamedVoiceLayout kW2 = {kWHeader2, kWOperator, 2};
constexpr NamedVoiceLayout kW4 = {kWHeader4, kWOperator, 4};
constexpr NamedVoiceLayout kV2 = {kVHeader2, kVOperator, 2};
constexpr NamedVoiceLayout kV4 = {kVHeader4, kVOperator, 4};

constexpr int kGroupStart = 2;
constexpr int kGroupSize = 5;

// The value a parameter stores, or -1 when it stores nothing.
int StoredValue(ParamStore store, int value) {
  switch (store) {
    case ParamStore::kIgnored:
      return -1;
    case ParamStore::kValue:
      return value;
    case ParamStore::kMinusOne:
      return value - 1;
    case ParamStore::kPlusOne:
      return value + 1;
    case ParamStore::kPlusFour:
      return value + 4;
    case ParamStore::kFrom15:
      return 15 - value;
    case ParamStore::kFrom16:
      return 16 - value;
    case ParamStore::kFrom64:
      return 64 - value;
    case ParamStore::kSwapMiddle:
      return value == 1 ? 2 : value == 2 ? 1 : value;
    case ParamStore::kSwitchedLevel:
      return value == 0 ? -1 : value - 1;
  }
  return -1;
}

}  // namespace

const NamedVoiceLayout& WLayout(bool fourOp) { return fourOp ? kW4 : kW2; }

const NamedVoiceLayout& VLayout(bool fourOp) { return fourOp ? kV4 : kV2; }

const VoiceParam& VoiceParamAt(const NamedVoiceLayout& layout, int index) {
  assert(index >= 0 && index < layout.Total());
  const int headerSize = static_cast<int>(layout.header.size());
  if (index < headerSize) {
    return layout.header[index];
  }
  const int perOperator = static_cast<int>(layout.perOperator.size());
  return layout.perOperator[(index - headerSize) % perOperator];
}

void StoreVoiceParam(const NamedVoiceLayout& layout, int index, int value,
                     std::span<uint8_t> record) {
  const VoiceParam& param = VoiceParamAt(layout, index);
  const int stored = StoredValue(param.store, value);
  if (stored < 0) {
    return;
  }
  // Header fields are numbered within the record, operator fields within their group.
  const int headerSize = static_cast<int>(layout.header.size());
  int base = 0;
  if (index >= headerSize) {
    const int op = (index - headerSize) / static_cast<int>(layout.perOperator.size());
    base = kGroupStart + kGroupSize * op;
  }
  assert(base + param.field.byte < static_cast<int>(record.size()) - 1);
  // A byte is the sum of its fields; every field is written once per definition.
  record[base + param.field.byte] += static_cast<uint8_t>(stored << param.field.shift);
  if (param.alsoSet.byte >= 0) {
    record[base + param.alsoSet.byte] |= static_cast<uint8_t>(1 << param.alsoSet.shift);
  }
}
