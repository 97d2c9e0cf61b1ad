// The ADPCM file list: reads the joined "F" blocks (raw text, case and white space kept) and
// binds wave files to the letters A-J, which the ADPCM part plays as notes.
//
// Form: "S4" or "S8" sets the sampling rate of all waves; a letter followed by <name> binds
// the name to the letter's wave slot. Names are stored as written between "<" and ">",
// spaces and double-byte characters included, tabs and line breaks left out.

#include "adpcm/file_part.h"

#include <string>
#include <string_view>
#include <utility>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/mmf_layout.h"
#include "core/sjis.h"
#include "core/text_functions.h"

namespace {

namespace am = messages::adpcm;

bool IsBlank(uint8_t b) { return b == ' ' || b == '\t' || b == '\n' || b == '\r'; }

// The wave slot index 0-9 of a letter A-J (either case), or -1.
int WaveSlotOf(uint8_t b) {
  if (b >= 'A' && b <= 'J') {
    return b - 'A';
  }
  if (b >= 'a' && b <= 'j') {
    return b - 'a';
  }
  return -1;
}

// Walks the text in three states: Idle (no letter selected), Selected (a letter was read, no
// "<" yet) and InName (between "<" and ">"). The end of the text ends the walk in any state.
class AdpcmFileReader {
 public:
  AdpcmFileReader(const std::string& text, WaveList& waves, CompileFault& fault)
      : waves_(waves), fault_(fault), text_(text) {}

  bool Run() {
    for (pos_ = 0; pos_ < text_.size(); ++pos_) {
      const uint8_t b = ByteAt(text_, pos_);
      const bool ok = state_ == State::kIdle       ? Idle(b)
                      : state_ == State::kSelected ? Selected(b)
                                                   : InName(b);
      if (!ok) {
        // The byte at fault, or the rate after "S".
        fault_.place = {FaultText::kJoined, "F", valueAt_ != std::string::npos ? valueAt_ : pos_};
        return false;
      }
    }
    // A letter without a name, or a name without its ">", stays as far as it got.
    return true;
  }

 private:
  bool Fail(std::string message) {
    fault_.message = std::move(message);
    return false;
  }

  enum class State { kIdle, kSelected, kInName };

  bool Idle(uint8_t b) {
    if (IsBlank(b)) {
      return true;
    }
    if (WaveSlotOf(b) >= 0) {
      slot_ = WaveSlotOf(b);
      state_ = State::kSelected;
      return true;
    }
    if (b == 'S' || b == 's') {
      size_t digits = pos_ + 1;
      const int rate = ReadNumber(text_, digits);
      if (rate != 4 && rate != 8) {
        valueAt_ = rate < 0 ? pos_ : pos_ + 1;
        return Fail(Sjis(am::kWaveTypeWrong));
      }
      waves_.waveType = rate == 4 ? mmf::kWaveType4k : mmf::kWaveType8k;
      pos_ = digits;  // on the last digit
      return true;
    }
    // Only this one byte is quoted, even when it starts a double-byte character.
    return Fail(Sjis(am::kFileUnusableHead) + static_cast<char>(b) + Sjis(am::kFileUnusableTail));
  }

  bool Selected(uint8_t b) {
    if (IsBlank(b)) {
      return true;
    }
    if (b == '<') {
      // A later declaration of a letter replaces the name it had.
      waves_.fileName[slot_].clear();
      state_ = State::kInName;
      return true;
    }
    return Fail(Sjis(b == '>' ? am::kCloseWithoutName : am::kFileSpecWrong));
  }

  bool InName(uint8_t b) {
    if (b == '\t' || b == '\n' || b == '\r') {
      return true;
    }
    if (b == '<') {
      return Fail(Sjis(am::kOpenInName));
    }
    if (b == '>') {
      state_ = State::kIdle;
      return true;
    }
    std::string& name = waves_.fileName[slot_];
    name.push_back(static_cast<char>(b));
    // The second byte of a double-byte character may look like "<", ">" or a line break.
    if (IsLeadByte(b) && pos_ + 1 < text_.size()) {
      ++pos_;
      name.push_back(text_[pos_]);
    }
    return true;
  }

  WaveList& waves_;
  CompileFault& fault_;
  const std::string& text_;
  size_t pos_ = 0;
  State state_ = State::kIdle;
  int slot_ = -1;                       // the slot of the last letter; valid outside Idle
  size_t valueAt_ = std::string::npos;  // a faulty value, when the fault is not at the cursor
};

}  // namespace

StageResult<WaveList> ParseAdpcmFiles(const std::string& text) {
  WaveList waves;
  CompileFault fault;
  if (!AdpcmFileReader(text, waves, fault).Run()) {
    return fault;
  }
  return waves;
}
