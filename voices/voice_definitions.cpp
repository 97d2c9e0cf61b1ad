// The voice definition part: reads the joined "D" blocks (upper-cased, white space removed)
// into voice records and the five score-wide settings.
//
// The text is a run of commands. "W@n", "V@n", "X@n" (and "W4@n", "V4@n", "X4@n" for
// 4-operator voices) and "Z@n" (MA1) open a definition of voice n whose parameters follow
// as ",value"; "@A", "@C", "@D", "@L", "@R" followed by a number are the settings. A
// definition stays open until the next command or the end of the text, which closes it.

#include "voices/voice_definitions.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "core/text_functions.h"
#include "voices/voice_params.h"

namespace {

// Messages: the offending name or byte goes between the pieces of core/messages.h.
namespace vm = messages::voices;

// "Dパート '<name><tail>"
std::string PartMessage(std::string_view name, std::string_view tail) {
  return Sjis(vm::kPartHead) + std::string(name) + Sjis(tail);
}

// ---- Definition forms -----------------------------------------------------------------------
enum class Table { kMa2, kMa2FourOp, kMa1 };

struct VoiceForm {
  std::string_view name;           // "W4@": as the messages quote the opened form
  const NamedVoiceLayout* layout;  // named forms (W, V); nullptr for raw forms
  int rawBytes;                    // raw forms (X, Z): parameter bytes of the record
  Table table;
};

const VoiceForm kW2 = {"W@", &WLayout(false), 0, Table::kMa2};
const VoiceForm kW4 = {"W4@", &WLayout(true), 0, Table::kMa2FourOp};
const VoiceForm kV2 = {"V@", &VLayout(false), 0, Table::kMa2};
const VoiceForm kV4 = {"V4@", &VLayout(true), 0, Table::kMa2FourOp};
const VoiceForm kX2 = {"X@", nullptr, 12, Table::kMa2};
const VoiceForm kX4 = {"X4@", nullptr, 22, Table::kMa2FourOp};
const VoiceForm kZ = {"Z@", nullptr, 13, Table::kMa1};

// MA2 voices are the melodic numbers 0-127 and the drum notes 24-84 as 152-212; MA1 voices
// are 0-127.
bool IsVoiceNumber(const VoiceForm& form, int number) {
  if (form.table == Table::kMa1) {
    return number >= 0 && number <= 127;
  }
  return (number >= 0 && number <= 127) || (number >= 152 && number <= 212);
}

// ---- Settings -------------------------------------------------------------------------------
struct Setting {
  uint8_t VoiceDefinitions::*field;
  std::string_view rangeTail;
  int max;             // accepted: 0-max ...
  bool alsoSixteenUp;  // ... and, for the timebases, 16-19
  char letter;
};

constexpr Setting kSettings[] = {
    {&VoiceDefinitions::optionA, vm::kSettingA, 1, false, 'A'},
    {&VoiceDefinitions::contentsStatus, vm::kSettingC, 3, false, 'C'},
    {&VoiceDefinitions::exclusiveParam, vm::kSettingD, 255, false, 'D'},
    {&VoiceDefinitions::gateBase, vm::kSettingTimebase, 3, true, 'L'},
    {&VoiceDefinitions::durationBase, vm::kSettingTimebase, 3, true, 'R'},
};

// ---- The reader -----------------------------------------------------------------------------
class VoicePartReader {
 public:
  VoicePartReader(const std::string& text, VoiceDefinitions& voices, CompileFault& fault)
      : voices_(voices), fault_(fault), text_(text) {}

  bool Run();

 private:
  bool Close();
  bool OpenMa2(char letter);
  bool OpenMa1();
  bool OpenVoice(const VoiceForm& form);
  bool ReadParam();
  bool ReadNamedParam(int value);
  bool ReadRawParam(int value);
  bool ReadSetting();
  std::span<uint8_t> Record();
  bool Fail(std::string message) {
    fault_.message = std::move(message);
    return false;
  }
  bool Fail(std::string_view name, std::string_view tail) { return Fail(PartMessage(name, tail)); }
  // Points the stored message at `faultAt_`, or at `command` when no value is at fault.
  bool PlaceFault(size_t command) {
    fault_.place = {FaultText::kStripped, "D", faultAt_ != std::string::npos ? faultAt_ : command};
    return false;
  }

  VoiceDefinitions& voices_;
  CompileFault& fault_;
  const std::string& text_;
  size_t cursor_ = 0;
  // The open definition: its form (nullptr when none), voice number and parameters read.
  const VoiceForm* form_ = nullptr;
  int number_ = 0;
  int count_ = 0;
  size_t formStart_ = 0;  // where the open definition's command starts
  // The value at fault in the command being read, when it is not the command itself.
  size_t faultAt_ = std::string::npos;
};

bool VoicePartReader::Run() {
  for (; cursor_ < text_.size(); ++cursor_) {
    const size_t start = cursor_;
    faultAt_ = std::string::npos;
    const char byte = text_[cursor_];
    bool ok = true;
    switch (byte) {
      case 'W':
      case 'V':
      case 'X':
        ok = Close() && OpenMa2(byte);
        break;
      case 'Z':
        ok = Close() && OpenMa1();
        break;
      case '@':
        ok = Close() && ReadSetting();
        break;
      case ',':
        ok = ReadParam();
        break;
      default:
        // Of a double-byte character only its first byte is quoted.
        ok = Fail(std::string_view(&byte, 1), vm::kUnusable);
        break;
    }
    if (!ok) {
      PlaceFault(start);
      return false;
    }
  }
  return Close() || PlaceFault(cursor_);
}

std::span<uint8_t> VoicePartReader::Record() {
  switch (form_->table) {
    case Table::kMa2:
      return voices_.ma2[number_];
    case Table::kMa2FourOp:
      return voices_.ma2FourOp[number_];
    case Table::kMa1:
      return voices_.ma1[number_];
  }
  return {};
}

// Named forms must have all their parameters; raw forms are padded with zero bytes.
bool VoicePartReader::Close() {
  if (form_ == nullptr) {
    return true;
  }
  const VoiceForm& form = *form_;
  if (form.layout != nullptr) {
    const int total = form.layout->Total();
    if (count_ != total) {
      faultAt_ = formStart_;
      return Fail(form.name, std::string(vm::kParamCountHead) + std::to_string(total) +
                                 std::string(vm::kTooFewTail));
    }
  } else {
    std::span<uint8_t> record = Record();
    for (int i = count_; i < form.rawBytes; ++i) {
      record[i] = 0;
    }
    record[form.rawBytes] = 0xF7;
  }
  form_ = nullptr;
  return true;
}

// The cursor is on "W", "V" or "X"; a "4" may follow, then "@" and the voice number.
bool VoicePartReader::OpenMa2(char letter) {
  formStart_ = cursor_;
  const bool fourOp = ByteAt(text_, cursor_ + 1) == '4';
  if (fourOp) {
    ++cursor_;
  }
  if (cursor_ + 1 >= text_.size()) {
    return Fail(std::string_view(&letter, 1), vm::kUsage);
  }
  std::string typed(1, letter);
  if (fourOp) {
    typed += '4';
  }
  if (text_[cursor_ + 1] != '@') {
    return Fail(typed, vm::kUsage);
  }
  ++cursor_;
  switch (letter) {
    case 'W':
      return OpenVoice(fourOp ? kW4 : kW2);
    case 'V':
      return OpenVoice(fourOp ? kV4 : kV2);
    default:
      return OpenVoice(fourOp ? kX4 : kX2);
  }
}

// The cursor is on "Z"; "@" and the voice number follow.
bool VoicePartReader::OpenMa1() {
  if (ByteAt(text_, cursor_ + 1) != '@') {
    return Fail("Z", vm::kUsage);
  }
  formStart_ = cursor_;
  ++cursor_;
  return OpenVoice(kZ);
}

// The cursor is on the "@"; reads the voice number after it.
bool VoicePartReader::OpenVoice(const VoiceForm& form) {
  ++cursor_;
  size_t pos = cursor_;
  const int number = ReadNumber(text_, pos);
  if (number >= 0) {
    faultAt_ = cursor_;  // a number out of range
  }
  if (number < 0 || !IsVoiceNumber(form, number)) {
    return Fail(form.name, vm::kVoiceNumber);
  }
  cursor_ = pos;
  form_ = &form;
  number_ = number;
  count_ = 0;
  // Named forms build the record from zero; raw forms overwrite it byte by byte.
  if (form.layout != nullptr) {
    std::span<uint8_t> record = Record();
    std::fill(record.begin(), record.end() - 1, 0);
    record.back() = 0xF7;
  }
  return true;
}

// The cursor is on ","; reads the value after it into the open definition.
bool VoicePartReader::ReadParam() {
  if (form_ == nullptr) {
    return Fail(",", vm::kUsage);
  }
  size_t pos = cursor_ + 1;
  const int value = ReadNumber(text_, pos);
  if (value < 0) {
    return Fail(form_->name, vm::kParamMissing);
  }
  faultAt_ = cursor_ + 1;  // the value, if the definition refuses it
  cursor_ = pos;
  return form_->layout != nullptr ? ReadNamedParam(value) : ReadRawParam(value);
}

bool VoicePartReader::ReadNamedParam(int value) {
  const NamedVoiceLayout& layout = *form_->layout;
  const std::string name(form_->name);
  if (count_ == layout.Total()) {
    return Fail(Sjis(vm::kQuote) + name +
                Sjis(std::string(vm::kArgumentCountHead) + std::to_string(layout.Total()) +
                     std::string(vm::kArgumentCountTail)));
  }
  const VoiceParam& param = VoiceParamAt(layout, count_);
  if (value < param.min || value > param.max) {
    return Fail(Sjis(vm::kQuote) + name + Sjis(vm::kArgumentWrong) + Sjis(param.clause));
  }
  StoreVoiceParam(layout, count_, value, Record());
  ++count_;
  return true;
}

bool VoicePartReader::ReadRawParam(int value) {
  if (value > 255) {
    return Fail(form_->name, vm::kRawRange);
  }
  if (count_ == form_->rawBytes) {
    return Fail(form_->name, std::string(vm::kParamCountHead) + std::to_string(form_->rawBytes) +
                                 std::string(vm::kRawTooManyTail));
  }
  Record()[count_] = static_cast<uint8_t>(value);
  ++count_;
  return true;
}

// The cursor is on "@"; a setting letter and its number follow.
bool VoicePartReader::ReadSetting() {
  if (cursor_ + 1 >= text_.size()) {
    return Fail("@", vm::kUsage);
  }
  const char letter = text_[cursor_ + 1];
  const std::string name = std::string("@") + letter;
  const Setting* setting = nullptr;
  for (const Setting& s : kSettings) {
    if (s.letter == letter) {
      setting = &s;
    }
  }
  if (setting == nullptr) {
    return Fail(name, vm::kUnusable);
  }
  size_t pos = cursor_ + 2;
  const int value = ReadNumber(text_, pos);
  if (value < 0) {
    return Fail(name, vm::kSettingMissing);
  }
  const bool inRange =
      value <= setting->max || (setting->alsoSixteenUp && value >= 16 && value <= 19);
  if (!inRange) {
    faultAt_ = cursor_ + 2;
    return Fail(name, setting->rangeTail);
  }
  cursor_ = pos;
  // "@A" 0 keeps the usual octave marks ("<" lowers), which the compiler holds as 1.
  const int stored = setting->letter == 'A' ? 1 - value : value;
  voices_.*(setting->field) = static_cast<uint8_t>(stored);
  return true;
}

}  // namespace

StageResult<VoiceDefinitions> ParseVoiceDefinitions(const std::string& text) {
  VoiceDefinitions voices;
  CompileFault fault;
  if (!VoicePartReader(text, voices, fault).Run()) {
    return fault;
  }
  return voices;
}
