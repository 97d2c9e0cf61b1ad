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
      m_bank = event.bank();  // takes effect with the next program change
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
  if (m_heldNote >= 0) {
    m_out.notes[static_cast<size_t>(m_heldNote)].endMs = endMs;
    m_heldNote = -1;
  }
}

void ChannelWalker::SelectVoice(int64_t ms, int bank, int program) {
  if (program < 0) {
    return;
  }
  if (bank >= 0) {
    m_bank = bank;
  }
  // The built-in bank follows General MIDI order, so the voice number is the program; a
  // four-operator voice maps like a two-operator one.
  if ((m_bank & kDrumBankBit) != 0) {
    m_drumKey = program;
    return;
  }
  m_drumKey = -1;
  m_out.messages.push_back({m_channel, ms, ProgramChange(m_channel, program)});
}

void ChannelWalker::Control(int64_t ms, int control, int value) {
  if (value >= 0) {
    m_out.messages.push_back({m_channel, ms, ControlChange(m_channel, control, value)});
  }
}

void ChannelWalker::PlayNote(const MmfEvent& event) {
  if (event.note() < 0) {
    return;
  }
  TimedNote note{m_channel, std::clamp(event.note(), 0, 127), event.ms(),
                 event.ms() + std::max<int64_t>(0, event.gateMs())};
  if (m_drumKey >= 0) {
    note.channel = kDrumChannel;
    note.key = m_drumKey;
  } else if (!m_rhythm) {
    Bend(event.ms(), 0.0);
  }
  m_out.notes.push_back(note);
}

void ChannelWalker::PlayFrequency(const MmfEvent& event) {
  const bool held = m_heldNote >= 0;
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
  if (m_drumKey >= 0 || m_rhythm) {
    return;  // a drum sound keeps its key
  }
  const double deviation = pitch - m_heldKey;
  if (std::abs(deviation) <= kLargestBendRange) {
    Bend(event.ms(), deviation);
    return;
  }
  Finish(event.ms());
  StrikeFrequency(event.ms(), pitch);
}

void ChannelWalker::StrikeFrequency(int64_t ms, double pitch) {
  TimedNote note{m_channel, NearestKey(pitch), ms, -1};
  if (m_drumKey >= 0) {
    note.channel = kDrumChannel;
    note.key = m_drumKey;
  } else if (!m_rhythm) {
    Bend(ms, pitch - note.key);
  }
  m_heldKey = note.key;
  m_heldNote = static_cast<int>(m_out.notes.size());
  m_out.notes.push_back(note);
}

void ChannelWalker::Bend(int64_t ms, double deviation) {
  if (deviation == m_bend) {
    return;
  }
  m_bend = deviation;
  m_out.bends.push_back({m_channel, ms, deviation});
  double& largest = m_out.largestDeviation[static_cast<size_t>(m_channel)];
  largest = std::max(largest, std::abs(deviation));
}
