#include "midi/channel_walker.h"

#include <algorithm>
#include <cmath>

#include "midi/channel_plan.h"
#include "midi/pitch.h"
#include "midi/smf_writer.h"

namespace {

constexpr int kControlModulation = 1;
constexpr int kControlVolume = 7;
constexpr int kControlPan = 10;
constexpr int kControlExpression = 11;
constexpr int kDrumBankBit = 0x80;

}  // namespace

void ChannelWalker::Take(const MmfEvent& event) {
  switch (event.kind) {
    case MmfEventKind::kVoice:
    case MmfEventKind::kProgramChange:
      SelectVoice(event.ms(), event.bank(), event.program());
      break;
    case MmfEventKind::kBankSelect:
      bank_ = event.bank();  // takes effect with the next program change
      break;
    case MmfEventKind::kVolume:
      Control(event.ms(), kControlVolume, event.decoded());
      break;
    case MmfEventKind::kPan:
      Control(event.ms(), kControlPan, event.decoded());
      break;
    case MmfEventKind::kExpression:
      Control(event.ms(), kControlExpression, event.decoded());
      break;
    case MmfEventKind::kModulation:
      Control(event.ms(), kControlModulation, event.decoded());
      break;
    case MmfEventKind::kNote:
      PlayNote(event);
      break;
    case MmfEventKind::kFrequencyNote:
      PlayFrequency(event);
      break;
    default:
      break;  // octave windows are already in the note numbers; the rest has no MIDI form
  }
}

void ChannelWalker::Finish(int64_t endMs) {
  if (heldNote_ >= 0) {
    out_.notes[static_cast<size_t>(heldNote_)].endMs = endMs;
    heldNote_ = -1;
  }
}

void ChannelWalker::SelectVoice(int64_t ms, int bank, int program) {
  if (program < 0) {
    return;
  }
  if (bank >= 0) {
    bank_ = bank;
  }
  // The built-in bank follows General MIDI order, so the voice number is the program; a
  // four-operator voice maps like a two-operator one.
  if ((bank_ & kDrumBankBit) != 0) {
    drumKey_ = program;
    return;
  }
  drumKey_ = -1;
  out_.messages.push_back({channel_, ms, ProgramChange(channel_, program)});
}

void ChannelWalker::Control(int64_t ms, int control, int value) {
  if (value >= 0) {
    out_.messages.push_back({channel_, ms, ControlChange(channel_, control, value)});
  }
}

void ChannelWalker::PlayNote(const MmfEvent& event) {
  if (event.note() < 0) {
    return;
  }
  TimedNote note{channel_, std::clamp(event.note(), 0, 127), event.ms(),
                 event.ms() + std::max<int64_t>(0, event.gateMs())};
  if (drumKey_ >= 0) {
    note.channel = kDrumChannel;
    note.key = drumKey_;
  } else if (!rhythm_) {
    Bend(event.ms(), 0.0);
  }
  out_.notes.push_back(note);
}

void ChannelWalker::PlayFrequency(const MmfEvent& event) {
  const bool held = heldNote_ >= 0;
  if (event.keyState() == KeyState::kOff) {
    Finish(event.ms());
    return;
  }
  if (event.fnumber() < 0 || event.block() < 0) {
    return;
  }
  // The reader counts F-numbers from the table's origin; the chip's value is 256 higher.
  const double pitch = PitchOfFrequency(event.fnumber() + 256, event.block());
  if (!held) {
    // A legato change of a key that is not on changes a silent pitch.
    if (event.keyState() == KeyState::kOn) {
      StrikeFrequency(event.ms(), pitch);
    }
    return;
  }
  // The key is on: a legato change, or a key-on that does not strike again on the chip.
  if (drumKey_ >= 0 || rhythm_) {
    return;  // a drum sound keeps its key
  }
  const double deviation = pitch - heldKey_;
  if (std::abs(deviation) <= kLargestBendRange) {
    Bend(event.ms(), deviation);
    return;
  }
  Finish(event.ms());
  StrikeFrequency(event.ms(), pitch);
}

void ChannelWalker::StrikeFrequency(int64_t ms, double pitch) {
  TimedNote note{channel_, NearestKey(pitch), ms, -1};
  if (drumKey_ >= 0) {
    note.channel = kDrumChannel;
    note.key = drumKey_;
  } else if (!rhythm_) {
    Bend(ms, pitch - note.key);
  }
  heldKey_ = note.key;
  heldNote_ = static_cast<int>(out_.notes.size());
  out_.notes.push_back(note);
}

void ChannelWalker::Bend(int64_t ms, double deviation) {
  if (deviation == bend_) {
    return;
  }
  bend_ = deviation;
  out_.bends.push_back({channel_, ms, deviation});
  double& largest = out_.largestDeviation[static_cast<size_t>(channel_)];
  largest = std::max(largest, std::abs(deviation));
}
