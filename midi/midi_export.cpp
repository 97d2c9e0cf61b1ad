#include "midi/midi_export.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <tuple>

#include "midi/channel_plan.h"
#include "midi/channel_walker.h"
#include "midi/pitch.h"
#include "midi/smf_writer.h"
#include "midi/tempo_map.h"
#include "reader/mmf_reader.h"

namespace {

constexpr int kVelocity = 100;
constexpr int kMetaTrackName = 0x03;
constexpr int kMetaTimeSignature = 0x58;

// Order of the messages of one tick: notes that end, then settings, bends, notes that start,
// and last the end of a note that lasts no tick at all.
enum Rank { kRankName, kRankNoteOff, kRankSetting, kRankBend, kRankNoteOn, kRankLateOff };

// The handset's events grouped by absolute channel, each group in time order.
struct ChannelEvents {
  std::array<std::vector<const MmfEvent*>, 16> events;
  std::array<bool, 16> used{};
  std::array<bool, 16> sounds{};
  int64_t endMs = 0;  // the last moment of any score track
};

bool IsChannelMessage(MmfEventKind kind) {
  switch (kind) {
    case MmfEventKind::kNote:
    case MmfEventKind::kModulation:
    case MmfEventKind::kExpression:
    case MmfEventKind::kVolume:
    case MmfEventKind::kPan:
    case MmfEventKind::kOctaveShift:
    case MmfEventKind::kVoice:
    case MmfEventKind::kBankSelect:
    case MmfEventKind::kProgramChange:
    case MmfEventKind::kOtherControl:
    case MmfEventKind::kFrequencyNote:
      return true;
    default:
      return false;
  }
}

ChannelEvents GroupByChannel(const MmfFile& file) {
  ChannelEvents out;
  for (const ScoreTrack& track : file.tracks) {
    for (const MmfEvent& event : track.events) {
      out.endMs = std::max(out.endMs, event.ms() + std::max<int64_t>(0, event.gateMs()));
      const int c = event.absChannel;
      if (c < 0 || c > 15 || !IsChannelMessage(event.kind)) {
        continue;
      }
      out.events[c].push_back(&event);
      out.used[c] = true;
      out.sounds[c] =
          out.sounds[c] || event.kind == MmfEventKind::kNote ||
          (event.kind == MmfEventKind::kFrequencyNote && event.keyState() == KeyState::kOn);
    }
  }
  // Two tracks of one number (never from the compiler) interleave by time.
  for (auto& list : out.events) {
    std::stable_sort(list.begin(), list.end(),
                     [](const MmfEvent* a, const MmfEvent* b) { return a->ms() < b->ms(); });
  }
  return out;
}

// The title: the value of the contents field "ST", with its escaped commas resolved.
std::string TitleOf(const MmfFile& file) {
  for (const ContentsField& field : file.contents.fields) {
    if (field.tag == "ST") {
      std::string title;
      for (size_t i = 0; i < field.value.size(); ++i) {
        if (field.value[i] == '\\' && i + 1 < field.value.size() && field.value[i + 1] == ',') {
          continue;
        }
        title += field.value[i];
      }
      return title;
    }
  }
  return {};
}

// The score's "T" commands as tempo spans of the file's time: at T beats a minute a quarter
// note lasts 15000 / T ticks of the score, `tickMs` milliseconds each.
std::vector<TempoSpan> SpansOf(const ScoreTempo& score, int tickMs) {
  std::vector<TempoSpan> spans;
  for (const ScoreTempoChange& change : score.changes) {
    if (change.tempo <= 0) {
      continue;
    }
    int64_t micros =
        spans.empty() ? 0 : change.time * tickMs / 10 + int64_t{score.delayTicks} * tickMs * 1000;
    int64_t perQuarter = (int64_t{15000000} * tickMs + change.tempo / 2) / change.tempo;
    spans.push_back({micros, static_cast<int>(std::min<int64_t>(perQuarter, 0x7FFFFFFF))});
  }
  return spans;
}

TempoMap ChooseTempoMap(const MmfFile& file, const ScoreTempo* score, int64_t endMs) {
  if (score != nullptr && !file.tracks.empty() && file.tracks.front().durationMs > 0) {
    std::optional<TempoMap> map =
        TempoMap::FromSpans(SpansOf(*score, file.tracks.front().durationMs));
    if (map && map->TickAt(endMs) <= kMaxSmfTick) {
      return *map;
    }
  }
  return TempoMap::Fixed();
}

// Same keys on one channel cannot overlap in MIDI (the first note-off would end both): a note
// struck again ends the one before; two struck together become one, the longer.
std::vector<TimedNote> Untangle(std::vector<TimedNote> notes) {
  std::stable_sort(notes.begin(), notes.end(), [](const TimedNote& a, const TimedNote& b) {
    return std::tie(a.channel, a.key, a.startMs) < std::tie(b.channel, b.key, b.startMs);
  });
  std::vector<TimedNote> out;
  for (const TimedNote& note : notes) {
    if (!out.empty() && out.back().channel == note.channel && out.back().key == note.key &&
        note.startMs < out.back().endMs) {
      TimedNote& before = out.back();
      if (note.startMs == before.startMs) {
        before.endMs = std::max(before.endMs, note.endMs);
        continue;
      }
      before.endMs = note.startMs;
    }
    out.push_back(note);
  }
  return out;
}

// The bend range of every channel that bends, set once at the start with RPN 0.
void AddBendRange(SmfTrack& track, int channel, int range) {
  const int messages[][2] = {{101, 0}, {100, 0}, {6, range}, {38, 0}, {101, 127}, {100, 127}};
  for (const auto& m : messages) {
    track.events.push_back({0, kRankSetting, ControlChange(channel, m[0], m[1])});
  }
}

// The first track: title, 4/4 and the tempo map.
SmfTrack ConductorTrack(const std::string& title, const TempoMap& map, int64_t endMs) {
  SmfTrack track;
  if (!title.empty()) {
    track.events.push_back({0, kRankName, MetaEvent(kMetaTrackName, title)});
  }
  track.events.push_back({0, kRankSetting, MetaEvent(kMetaTimeSignature, "\x04\x02\x18\x08")});
  for (const TempoMap::Point& point : map.points()) {
    track.events.push_back({point.tick, kRankSetting, TempoEvent(point.microsPerQuarter)});
  }
  track.endTick = std::min(map.TickAt(endMs), kMaxSmfTick);
  return track;
}

// One track per MIDI channel, filled with the timed score at the ticks of the tempo map.
// What starts after the last tick a file can hold is dropped, and remembered.
class ChannelTracks {
 public:
  explicit ChannelTracks(const TempoMap& map) : map_(map) {}

  void AddNotes(const std::vector<TimedNote>& notes) {
    for (const TimedNote& note : Untangle(notes)) {
      const int64_t on = map_.TickAt(note.startMs);
      if (Place(note.channel, on, kRankNoteOn, NoteOn(note.channel, note.key, kVelocity))) {
        const int64_t off = std::min(map_.TickAt(note.endMs), kMaxSmfTick);
        Place(note.channel, off, off == on ? kRankLateOff : kRankNoteOff,
              NoteOff(note.channel, note.key));
        sounding_[note.channel] = true;
      }
    }
  }

  void AddSettings(const TimedScore& score) {
    for (int c = 0; c < 16; ++c) {
      if (score.largestDeviation[c] > 0.0) {
        AddBendRange(tracks_[c], c, BendRangeFor(score.largestDeviation[c]));
      }
    }
    for (const TimedMessage& m : score.messages) {
      Place(m.channel, map_.TickAt(m.ms), kRankSetting, m.message);
    }
    for (const TimedBend& b : score.bends) {
      const int range = BendRangeFor(score.largestDeviation[b.channel]);
      Place(b.channel, map_.TickAt(b.ms), kRankBend,
            PitchBend(b.channel, BendValue(b.deviation, range)));
    }
  }

  // Moves the tracks of the channels that play notes to `tracks`, named after their channels.
  void MoveSounding(std::vector<SmfTrack>& tracks) {
    for (int c = 0; c < 16; ++c) {
      if (sounding_[c]) {
        tracks_[c].events.push_back(
            {0, kRankName, MetaEvent(kMetaTrackName, "Channel " + std::to_string(c + 1))});
        tracks.push_back(std::move(tracks_[c]));
      }
    }
  }

  bool complete() const { return complete_; }

 private:
  bool Place(int channel, int64_t tick, int rank, Bytes message) {
    if (tick > kMaxSmfTick) {
      complete_ = false;
      return false;
    }
    tracks_[channel].events.push_back({tick, rank, std::move(message)});
    return true;
  }

  const TempoMap& map_;
  std::array<SmfTrack, 16> tracks_;
  std::array<bool, 16> sounding_{};
  bool complete_ = true;
};

}  // namespace

MidiExport ExportMidi(const MmfFile& file, const ScoreTempo* score) {
  MidiExport result;
  result.damaged = !IsSound(file);
  result.audioLeftOut = file.hasAudio;

  const ChannelEvents grouped = GroupByChannel(file);
  const ChannelPlan plan = PlanChannels(grouped.used, grouped.sounds, ChannelsSelectingVoice(file));
  TimedScore timed;
  for (int c = 0; c < 16; ++c) {
    ChannelWalker walker(plan.midiChannel[c], c == kDrumChannel && plan.rhythmPart, timed);
    for (const MmfEvent* event : grouped.events[c]) {
      walker.Take(*event);
    }
    walker.Finish(grouped.endMs);
  }
  if (timed.notes.empty()) {
    result.noNotes = true;
    return result;
  }
  const TempoMap map = ChooseTempoMap(file, score, grouped.endMs);
  std::vector<SmfTrack> tracks{ConductorTrack(TitleOf(file), map, grouped.endMs)};
  ChannelTracks channels(map);
  channels.AddNotes(timed.notes);
  channels.AddSettings(timed);
  channels.MoveSounding(tracks);
  // A tune longer than a file can hold is carried only in part.
  result.damaged = result.damaged || !channels.complete();
  result.bytes = BuildSmf(map.division(), std::move(tracks));
  return result;
}
