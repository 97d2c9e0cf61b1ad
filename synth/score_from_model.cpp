#include "synth/score_from_model.h"

#include <algorithm>
#include <array>
#include <map>

#include "voices/voice_tables.h"
#include "reader/mmf_reader.h"
#include "synth/adpcm_decoder.h"

namespace {

constexpr int kRhythmChannel = 9;
constexpr int kDrumBase = 128;    // voice number of drum note 0
constexpr int kFourOpBase = 256;  // voice key of 4-operator voice 0
constexpr int kChannels = 16;

std::array<int, kChannels> MakeFilled(int value) {
  std::array<int, kChannels> values;
  values.fill(value);
  return values;
}

RenderEvent Event(double ms, RenderEventKind kind, int channel, int value = 0) {
  RenderEvent event;
  event.ms = ms;
  event.kind = kind;
  event.channel = channel;
  event.value = value;
  return event;
}

class ScoreBuilder {
 public:
  explicit ScoreBuilder(const MmfFile& file) : m_file(file) {
    for (const ScoreTrack& track : file.tracks) {
      for (const VoiceRecord& record : track.voices) {
        const bool ma2 =
            record.kind == VoiceRecordKind::kMa2TwoOp || record.kind == VoiceRecordKind::kMa2FourOp;
        if (ma2 && record.complete && record.voiceKey >= 0) {
          m_fileVoices[record.voiceKey] = &record.record;
        }
      }
    }
    const std::array<bool, 16> selecting = ChannelsSelectingVoice(file);
    m_rhythm = file.format == MmfFormat::kMa2 && !selecting[kRhythmChannel];
  }

  RenderScore Build() {
    for (const ScoreTrack& track : m_file.tracks) {
      for (const MmfEvent& event : track.events) {
        AddScoreEvent(event);
      }
    }
    if (m_file.hasAudio) {
      AddAudioTrack(m_file.audio);
    }
    std::stable_sort(m_score.events.begin(), m_score.events.end(),
                     [](const RenderEvent& a, const RenderEvent& b) { return a.ms < b.ms; });
    return std::move(m_score);
  }

 private:
  // The index in the score's voice list of voice key `key`, unpacked once.
  int VoiceIndex(int key) {
    const auto found = m_voiceIndex.find(key);
    if (found != m_voiceIndex.end()) {
      return found->second;
    }
    FmVoice voice;
    const auto fileVoice = m_fileVoices.find(key);
    if (fileVoice != m_fileVoices.end()) {
      voice = DecodeFmVoice(fileVoice->second->data(), fileVoice->second->size());
    } else if (key >= 0 && key < kFourOpBase) {
      const Ma2VoiceRecord& record = BuiltInMa2Voices()[key];
      voice = DecodeFmVoice(record.data(), record.size());
    } else if (key >= kFourOpBase && key < 2 * kFourOpBase) {
      const Ma2FourOpVoiceRecord& record = BuiltInMa2FourOpVoices()[key - kFourOpBase];
      voice = DecodeFmVoice(record.data(), record.size());
    }
    m_score.voices.push_back(voice);
    return m_voiceIndex[key] = static_cast<int>(m_score.voices.size()) - 1;
  }

  // The voice a note of `note` on `channel` sounds.
  int NoteVoice(int channel, int note) {
    if (m_rhythm && channel == kRhythmChannel) {
      const int drum = kDrumBase + std::clamp(note, 0, 127);
      const bool fourOpOnly =
          m_fileVoices.count(drum) == 0 && m_fileVoices.count(kFourOpBase + drum) != 0;
      return VoiceIndex(fourOpOnly ? kFourOpBase + drum : drum);
    }
    return VoiceIndex(m_channelVoice[channel]);
  }

  void Add(RenderEvent event) {
    m_score.endMs = std::max(m_score.endMs, event.ms);
    m_score.events.push_back(event);
  }

  void KeyOn(const MmfEvent& event, int channel, FNumber pitch, int voice) {
    RenderEvent on = Event(static_cast<double>(event.ms()), RenderEventKind::kKeyOn, channel);
    on.voice = voice;
    on.pitch = pitch;
    on.note = ++m_noteCounter;
    m_channelNote[channel] = on.note;
    m_keyed[channel] = true;
    Add(on);
  }

  void KeyOff(double ms, int channel, int note) {
    RenderEvent off = Event(ms, RenderEventKind::kKeyOff, channel);
    off.note = note;
    m_keyed[channel] = false;
    Add(off);
  }

  void AddScoreEvent(const MmfEvent& event) {
    const int channel = event.absChannel;
    m_score.endMs = std::max(m_score.endMs, static_cast<double>(event.ms()));
    if (channel < 0 || channel >= kChannels) {
      return;
    }
    const auto ms = static_cast<double>(event.ms());
    switch (event.kind) {
      case MmfEventKind::kNote:
        KeyOn(event, channel, NoteFNumber(event.note()), NoteVoice(channel, event.note()));
        // A gate of 0 (a slur the writer never closed) holds the note until the next one.
        if (event.gateMs() > 0) {
          KeyOff(ms + static_cast<double>(event.gateMs()), channel, m_channelNote[channel]);
        }
        break;
      case MmfEventKind::kFrequencyNote:
        AddFrequencyNote(event, channel);
        break;
      case MmfEventKind::kVoice:
      case MmfEventKind::kProgramChange:
        if (event.voiceKey() >= 0) {
          m_channelVoice[channel] = event.voiceKey();
        }
        break;
      case MmfEventKind::kVolume:
        Add(Event(ms, RenderEventKind::kVolume, channel, event.value()));
        break;
      case MmfEventKind::kExpression:
        Add(Event(ms, RenderEventKind::kExpression, channel, event.decoded()));
        break;
      default:
        break;
    }
  }

  // A frequency note: the chip's F-number is the low byte plus 256 times bits 1-0 of the high
  // byte, the block bits 4-2 of the high byte; a message without a high byte (a legato change)
  // keeps the one before.
  void AddFrequencyNote(const MmfEvent& event, int channel) {
    if (event.keyState() == KeyState::kOff) {
      if (m_keyed[channel]) {
        KeyOff(static_cast<double>(event.ms()), channel, m_channelNote[channel]);
      }
      return;
    }
    if (event.highByte() >= 0) {
      m_highByte[channel] = event.highByte();
    }
    if (event.fnumberLow() < 0 || m_highByte[channel] < 0) {
      return;
    }
    const FNumber pitch{event.fnumberLow() + 256 * (m_highByte[channel] & 3),
                        m_highByte[channel] >> 2 & 7};
    if (event.keyState() == KeyState::kLegato && m_keyed[channel]) {
      RenderEvent glide = Event(static_cast<double>(event.ms()), RenderEventKind::kPitch, channel);
      glide.pitch = pitch;
      Add(glide);
      return;
    }
    KeyOn(event, channel, pitch, VoiceIndex(m_channelVoice[channel]));
  }

  void AddAudioTrack(const AudioTrack& audio) {
    if (audio.adpcm && audio.sampleRate > 0) {
      for (const Wave& wave : audio.waves) {
        m_score.waves.push_back(
            {wave.slot, DecodeAdpcm(wave.data.data(), wave.data.size()), audio.sampleRate});
      }
    }
    for (const MmfEvent& event : audio.events) {
      const auto ms = static_cast<double>(event.ms());
      m_score.endMs = std::max(m_score.endMs, ms);
      if (event.kind == MmfEventKind::kDirectNote) {
        RenderEvent on = Event(ms, RenderEventKind::kWaveOn, event.channel);
        on.value = event.waveSlot();
        on.note = ++m_noteCounter;
        Add(on);
        RenderEvent off = Event(ms + static_cast<double>(std::max<int64_t>(event.gateMs(), 0)),
                                RenderEventKind::kWaveOff, event.channel);
        off.note = on.note;
        Add(off);
      } else if (event.kind == MmfEventKind::kVolume) {
        Add(Event(ms, RenderEventKind::kWaveVolume, event.channel, event.value()));
      }
    }
  }

  const MmfFile& m_file;
  RenderScore m_score;
  std::map<int, const std::vector<uint8_t>*> m_fileVoices;  // voice key -> record
  std::map<int, int> m_voiceIndex;                          // voice key -> score voice
  std::array<int, kChannels> m_channelVoice{};
  std::array<int, kChannels> m_channelNote{};
  std::array<bool, kChannels> m_keyed{};
  std::array<int, kChannels> m_highByte = MakeFilled(-1);
  bool m_rhythm = false;
  int m_noteCounter = 0;
};

}  // namespace

RenderScore ScoreFromModel(const MmfFile& file) { return ScoreBuilder(file).Build(); }
