#include "synth/score_from_model.h"

#include <algorithm>
#include <array>
#include <map>

#include "reader/mmf_reader.h"
#include "synth/adpcm_decoder.h"
#include "voices/voice_tables.h"

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
  explicit ScoreBuilder(const MmfFile& file) : file_(file) {
    for (const ScoreTrack& track : file.tracks) {
      for (const VoiceRecord& record : track.voices) {
        const bool ma2 =
            record.kind == VoiceRecordKind::kMa2TwoOp || record.kind == VoiceRecordKind::kMa2FourOp;
        if (ma2 && record.complete && record.voiceKey >= 0) {
          fileVoices_[record.voiceKey] = &record.record;
        }
      }
    }
    const std::array<bool, 16> selecting = ChannelsSelectingVoice(file);
    rhythm_ = file.format == MmfFormat::kMa2 && !selecting[kRhythmChannel];
  }

  RenderScore Build() {
    for (const ScoreTrack& track : file_.tracks) {
      for (const MmfEvent& event : track.events) {
        AddScoreEvent(event);
      }
    }
    if (file_.hasAudio) {
      AddAudioTrack(file_.audio);
    }
    std::stable_sort(score_.events.begin(), score_.events.end(),
                     [](const RenderEvent& a, const RenderEvent& b) { return a.ms < b.ms; });
    return std::move(score_);
  }

 private:
  // The index in the score's voice list of voice key `key`, unpacked once.
  int VoiceIndex(int key) {
    const auto found = voiceIndex_.find(key);
    if (found != voiceIndex_.end()) {
      return found->second;
    }
    FmVoice voice;
    const auto fileVoice = fileVoices_.find(key);
    if (fileVoice != fileVoices_.end()) {
      voice = DecodeFmVoice(fileVoice->second->data(), fileVoice->second->size());
    } else if (key >= 0 && key < kFourOpBase) {
      const Ma2VoiceRecord& record = BuiltInMa2Voices()[key];
      voice = DecodeFmVoice(record.data(), record.size());
    } else if (key >= kFourOpBase && key < 2 * kFourOpBase) {
      const Ma2FourOpVoiceRecord& record = BuiltInMa2FourOpVoices()[key - kFourOpBase];
      voice = DecodeFmVoice(record.data(), record.size());
    }
    score_.voices.push_back(voice);
    return voiceIndex_[key] = static_cast<int>(score_.voices.size()) - 1;
  }

  // The voice a note of `note` on `channel` sounds.
  int NoteVoice(int channel, int note) {
    if (rhythm_ && channel == kRhythmChannel) {
      const int drum = kDrumBase + std::clamp(note, 0, 127);
      const bool fourOpOnly =
          fileVoices_.count(drum) == 0 && fileVoices_.count(kFourOpBase + drum) != 0;
      return VoiceIndex(fourOpOnly ? kFourOpBase + drum : drum);
    }
    return VoiceIndex(channelVoice_[channel]);
  }

  void Add(RenderEvent event) {
    score_.endMs = std::max(score_.endMs, event.ms);
    score_.events.push_back(event);
  }

  void KeyOn(const MmfEvent& event, int channel, FNumber pitch, int voice) {
    RenderEvent on = Event(static_cast<double>(event.ms()), RenderEventKind::kKeyOn, channel);
    on.voice = voice;
    on.pitch = pitch;
    on.note = ++noteCounter_;
    channelNote_[channel] = on.note;
    keyed_[channel] = true;
    Add(on);
  }

  void KeyOff(double ms, int channel, int note) {
    RenderEvent off = Event(ms, RenderEventKind::kKeyOff, channel);
    off.note = note;
    keyed_[channel] = false;
    Add(off);
  }

  void AddScoreEvent(const MmfEvent& event) {
    const int channel = event.absChannel;
    score_.endMs = std::max(score_.endMs, static_cast<double>(event.ms()));
    if (channel < 0 || channel >= kChannels) {
      return;
    }
    const auto ms = static_cast<double>(event.ms());
    switch (event.kind) {
      case MmfEventKind::kNote:
        KeyOn(event, channel, NoteFNumber(event.note()), NoteVoice(channel, event.note()));
        // A gate of 0 (a slur the writer never closed) holds the note until the next one.
        if (event.gateMs() > 0) {
          KeyOff(ms + static_cast<double>(event.gateMs()), channel, channelNote_[channel]);
        }
        break;
      case MmfEventKind::kFrequencyNote:
        AddFrequencyNote(event, channel);
        break;
      case MmfEventKind::kVoice:
      case MmfEventKind::kProgramChange:
        if (event.voiceKey() >= 0) {
          channelVoice_[channel] = event.voiceKey();
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
      if (keyed_[channel]) {
        KeyOff(static_cast<double>(event.ms()), channel, channelNote_[channel]);
      }
      return;
    }
    if (event.highByte() >= 0) {
      highByte_[channel] = event.highByte();
    }
    if (event.fnumberLow() < 0 || highByte_[channel] < 0) {
      return;
    }
    const FNumber pitch{event.fnumberLow() + 256 * (highByte_[channel] & 3),
                        highByte_[channel] >> 2 & 7};
    if (event.keyState() == KeyState::kLegato && keyed_[channel]) {
      RenderEvent glide = Event(static_cast<double>(event.ms()), RenderEventKind::kPitch, channel);
      glide.pitch = pitch;
      Add(glide);
      return;
    }
    KeyOn(event, channel, pitch, VoiceIndex(channelVoice_[channel]));
  }

  void AddAudioTrack(const AudioTrack& audio) {
    if (audio.adpcm && audio.sampleRate > 0) {
      for (const Wave& wave : audio.waves) {
        score_.waves.push_back(
            {wave.slot, DecodeAdpcm(wave.data.data(), wave.data.size()), audio.sampleRate});
      }
    }
    for (const MmfEvent& event : audio.events) {
      const auto ms = static_cast<double>(event.ms());
      score_.endMs = std::max(score_.endMs, ms);
      if (event.kind == MmfEventKind::kDirectNote) {
        RenderEvent on = Event(ms, RenderEventKind::kWaveOn, event.channel);
        on.value = event.waveSlot();
        on.note = ++noteCounter_;
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

  const MmfFile& file_;
  RenderScore score_;
  std::map<int, const std::vector<uint8_t>*> fileVoices_;  // voice key -> record
  std::map<int, int> voiceIndex_;                          // voice key -> score voice
  std::array<int, kChannels> channelVoice_{};
  std::array<int, kChannels> channelNote_{};
  std::array<bool, kChannels> keyed_{};
  std::array<int, kChannels> highByte_ = MakeFilled(-1);
  bool rhythm_ = false;
  int noteCounter_ = 0;
};

}  // namespace

RenderScore ScoreFromModel(const MmfFile& file) { return ScoreBuilder(file).Build(); }
