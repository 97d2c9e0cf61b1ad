#ifndef QUAVREX_VOICES_VOICE_PARAMS_H_
#define QUAVREX_VOICES_VOICE_PARAMS_H_

#include <cstdint>
#include <span>
#include <string_view>

// The parameter lists of the named MA2 voice forms ("W@", "W4@", "V@", "V4@") as data: the
// order in which a score writes the parameters, their ranges, how each value is converted and
// the bit field of the voice record that receives it.
//
// MA2 voice record: byte 0 holds effect frequency (bits 7-6), feedback (5-3) and algorithm
// (2-0); byte 1 is 1 once the algorithm is given; then one 5-byte group per operator
// (operator 1 first) and the end byte F7.

// How a parameter's value becomes the number stored in its field.
enum class ParamStore : uint8_t {
  kIgnored,        // any number is accepted and nothing is stored
  kValue,          // stored unchanged
  kMinusOne,       // value - 1
  kPlusOne,        // value + 1
  kPlusFour,       // value + 4
  kFrom15,         // 15 - value
  kFrom16,         // 16 - value
  kFrom64,         // 64 - value
  kSwapMiddle,     // 0, 1, 2, 3 -> 0, 2, 1, 3
  kSwitchedLevel,  // 0 stores nothing; n stores level n - 1 and sets the switch field
};

// A bit field: the byte (of the record header, or of an operator's group) and its lowest bit.
// byte -1 means no field.
struct BitField {
  int8_t byte;
  uint8_t shift;
};

constexpr BitField kNoField = {-1, 0};

// One parameter of a named form.
struct VoiceParam {
  int min;
  int max;
  ParamStore store;
  BitField field;
  // Set to 1 whenever the parameter stores something: byte 1 for the algorithm, the flag
  // beside a vibrato or tremolo level.
  BitField alsoSet;
  // Second half of the range message (UTF-8), after "'W@'の引数に誤りがあります。".
  std::string_view clause;
};

// The parameter list of a named form: the header parameters, then `perOperator` repeated for
// each operator.
struct NamedVoiceLayout {
  std::span<const VoiceParam> header;
  std::span<const VoiceParam> perOperator;
  int operators;

  int Total() const { return static_cast<int>(header.size() + operators * perOperator.size()); }
};

const NamedVoiceLayout& WLayout(bool fourOp);
const NamedVoiceLayout& VLayout(bool fourOp);

// Stores parameter `index` (0-based, in the order the score writes them) with the in-range
// `value` into `record`, whose operator groups start at byte 2.
void StoreVoiceParam(const NamedVoiceLayout& layout, int index, int value,
                     std::span<uint8_t> record);

// The parameter at `index` of the layout (index < Total()).
const VoiceParam& VoiceParamAt(const NamedVoiceLayout& layout, int index);

#endif  // QUAVREX_VOICES_VOICE_PARAMS_H_
