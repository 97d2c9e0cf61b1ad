#include "midi_import/midi_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "core/sjis.h"
#include "midi_import/import_messages.h"
#include "midi_import/line_plan.h"
#include "midi_import/midi_clock.h"
#include "midi_import/part_writer.h"
#include "midi_import/score_time.h"
#include "midi_import/smf_reader.h"

namespace im = import_messages;

namespace {

// A tune may last an hour.
constexpr double kMaxMicroseconds = 3600.0 * 1e6;
// Bars closer than this (in ticks, 250 ms) share a line.
constexpr int64_t kLeastBarTicks = 63;
constexpr size_t kMaxBars = 100000;

int64_t TickAt(double us) {
  return static_cast<int64_t>(std::floor(us / (score_time::kMsPerTick * 1000.0) + 0.5));
}

// The channel's controls as a sweep through the file reaches each note.
struct ChannelState {
  int16_t program = -1;
  int16_t volume = -1;
  int16_t pan = -1;
  int16_t expression = -1;
  int16_t modulation = -1;
  int bend = 0;
  int bendRange = 2;
};

void Apply(const SmfControl& control, ChannelState& state) {
  switch (control.kind) {
    case SmfControlKind::kProgram:
      state.program = control.value;
      break;
    case SmfControlKind::kVolume:
      state.volume = control.value;
      break;
    case SmfControlKind::kPan:
      state.pan = control.value;
      break;
    case SmfControlKind::kExpression:
      state.expression = control.value;
      break;
    case SmfControlKind::kModulation:
      state.modulation = control.value;
      break;
    case SmfControlKind::kBend:
      state.bend = control.value;
      break;
    case SmfControlKind::kBendRange:
      state.bendRange = std::min<int>(control.value, 24);
      break;
  }
}

// The notes in ticks of the compiled file, by start, with their channels' controls; false
// when a note ends beyond an hour.
bool TimedNotes(const SmfSong& song, const MidiClock& clock, std::vector<ImportNote>& out) {
  std::vector<SmfNote> notes = song.notes;
  std::stable_sort(notes.begin(), notes.end(),
                   [](const SmfNote& a, const SmfNote& b) { return a.on < b.on; });
  std::array<ChannelState, 16> states;
  size_t next = 0;
  out.reserve(notes.size());
  for (const SmfNote& n : notes) {
    while (next < song.controls.size() && song.controls[next].tick <= n.on) {
      Apply(song.controls[next], states[song.controls[next].channel]);
      ++next;
    }
    const double offUs = clock.Us(n.off);
    if (offUs > kMaxMicroseconds) {
      return false;
    }
    const ChannelState& state = states[n.channel];
    ImportNote note;
    note.start = TickAt(clock.Us(n.on));
    note.end = std::max(TickAt(offUs), note.start + 1);
    note.channel = n.channel;
    note.key = n.key;
    note.velocity = n.velocity;
    note.program = state.program;
    note.volume = state.volume;
    note.pan = state.pan;
    note.expression = state.expression;
    note.modulation = state.modulation;
    note.detune = static_cast<int16_t>(
        std::lround(static_cast<double>(state.bend) * state.bendRange * 16 / 8192));
    out.push_back(note);
  }
  std::stable_sort(out.begin(), out.end(), [](const ImportNote& a, const ImportNote& b) {
    return a.start != b.start       ? a.start < b.start
           : a.key != b.key         ? a.key > b.key
           : a.channel != b.channel ? a.channel < b.channel
                                    : a.end > b.end;
  });
  // A key struck twice at once on one channel sounds once: the longer note stays.
  size_t kept = 0;
  for (size_t k = 0; k < out.size(); ++k) {
    const bool twice = kept > 0 && out[kept - 1].start == out[k].start &&
                       out[kept - 1].key == out[k].key && out[kept - 1].channel == out[k].channel;
    if (!twice) {
      out[kept++] = out[k];
    }
  }
  out.resize(kept);
  return true;
}

// The tempo changes as "T" values (whole beats per minute, 1-999), from tick 0 on.
std::vector<TempoChangeTick> TempoChanges(const SmfSong& song, const MidiClock& clock) {
  std::vector<TempoChangeTick> changes = {{0, 120}};
  for (const SmfTempo& tempo : song.tempos) {
    const double bpm = 60e6 / tempo.usPerQuarter;
    const int value = static_cast<int>(std::clamp(std::lround(bpm), 1L, 999L));
    const int64_t tick = TickAt(clock.Us(tempo.tick));
    if (changes.back().tick == tick) {
      changes.back().tempo = value;
    } else if (changes.back().tempo != value) {
      changes.push_back({tick, value});
    }
  }
  return changes;
}

// Where bars begin, in ticks of the compiled file, up to `end`.
std::vector<int64_t> Bars(const SmfSong& song, const MidiClock& clock, int64_t end) {
  std::vector<int64_t> bars;
  if (song.ticksPerQuarter == 0) {
    for (int64_t t = 500; t < end && bars.size() < kMaxBars; t += 500) {
      bars.push_back(t);
    }
    return bars;
  }
  std::vector<SmfMeter> meters = {{0, 4, 2}};
  for (const SmfMeter& meter : song.meters) {
    if (meter.tick == meters.back().tick) {
      meters.back() = meter;
    } else {
      meters.push_back(meter);
    }
  }
  int64_t last = 0;
  int64_t tick = 0;
  for (size_t m = 0; m < meters.size() && bars.size() < kMaxBars; ++m) {
    const int64_t barTicks = std::max<int64_t>(
        int64_t{song.ticksPerQuarter} * 4 * meters[m].numerator >> meters[m].denominatorPower, 1);
    const int64_t until = m + 1 < meters.size() ? meters[m + 1].tick : INT64_MAX;
    tick = std::max(tick, meters[m].tick);
    for (tick += barTicks; tick <= until && bars.size() < kMaxBars; tick += barTicks) {
      const int64_t at = TickAt(clock.Us(tick));
      if (at >= end) {
        return bars;
      }
      if (at - last >= kLeastBarTicks) {
        bars.push_back(at);
        last = at;
      }
    }
    tick = until;
  }
  return bars;
}

// Raw MIDI text as a contents value: UTF-8 or Shift-JIS kept (characters Shift-JIS cannot hold
// become "?"), other bytes above ASCII "?", control characters dropped, and the bytes that
// end a value or the block escaped.
std::string ContentsValue(const std::string& raw) {
  std::string sjis;
  if (IsUtf8(raw)) {
    for (size_t k = 0; k < raw.size();) {
      const auto lead = static_cast<uint8_t>(raw[k]);
      const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      std::string one;
      if (!Utf8ToSjis(std::string_view(raw).substr(k, length), one) ||
          (one.size() == 2 && !IsLeadByte(one[0]))) {
        one = "?";
      }
      sjis += one;
      k += length;
    }
  } else {
    for (size_t k = 0; k < raw.size(); ++k) {
      if (IsLeadByte(raw[k]) && k + 1 < raw.size() && static_cast<uint8_t>(raw[k + 1]) >= 0x40) {
        sjis += raw.substr(k, 2);
        ++k;
      } else {
        sjis += static_cast<uint8_t>(raw[k]) >= 0x80 ? '?' : raw[k];
      }
    }
  }
  std::string value;
  for (size_t k = 0; k < sjis.size(); ++k) {
    const char c = sjis[k];
    if (IsLeadByte(c) && k + 1 < sjis.size()) {
      value += sjis.substr(k++, 2);
    } else if (c == ',' || c == ']') {
      value += std::string("\\") + c;
    } else if (c == '\\') {
      value += "\\x5C";
    } else if (static_cast<uint8_t>(c) >= 0x20 && c != 0x7F) {
      value += c;
    }
  }
  return value;
}

// A kept line, the part it becomes and its name.
struct PlannedPart {
  PartKind kind = PartKind::kMelodic;
  int channel = 0;
  int name = 0;
  std::vector<const ImportNote*> notes;
};

// The opening comment: the file, then which channel went to which parts, then what was left
// out and why.
std::string Comment(const ImportOptions& options, const std::vector<PlannedPart>& parts,
                    const std::vector<Line>& lines, const std::vector<bool>& kept,
                    const std::array<size_t, 16>& outOfRange, const std::array<size_t, 16>& noVoice,
                    size_t drumsLeftOut, size_t merged) {
  std::string text = std::string(im::kCommentHead) + options.sourceName + im::kCommentFrom +
                     (options.ma2 ? "MA2" : "MA1") + im::kCommentTail + "\n";
  for (int channel = 0; channel < 16; ++channel) {
    std::string names;
    for (const PlannedPart& part : parts) {
      if (part.channel != channel) {
        continue;
      }
      names += (names.empty() ? "" : ", ") + std::to_string(part.name);
      names += part.kind == PartKind::kRhythm       ? im::kCommentRhythm
               : part.kind == PartKind::kDrumVoices ? im::kCommentDrumVoices
                                                    : "";
    }
    if (!names.empty()) {
      text += im::kCommentChannel + std::to_string(channel + 1) + im::kCommentArrow + names + "\n";
    }
  }
  std::string dropped;
  for (int channel = 0; channel < 16; ++channel) {
    size_t count = 0;
    int lineCount = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
      if (lines[k].channel == channel && !kept[k]) {
        count += lines[k].notes.size();
        ++lineCount;
      }
    }
    const std::string head = im::kCommentChannel + std::to_string(channel + 1) + ": ";
    if (count > 0) {
      dropped += head + std::to_string(lineCount) + im::kCommentLines + std::to_string(count) +
                 im::kCommentNotes + im::kCommentNoParts + "\n";
    }
    if (noVoice[channel] > 0) {
      dropped += head + im::kCommentNotesHead + std::to_string(noVoice[channel]) +
                 im::kCommentNotes + im::kCommentNoVoice + "\n";
    }
    if (channel == kDrumChannel && drumsLeftOut > 0) {
      dropped +=
          head + std::to_string(drumsLeftOut) + im::kCommentNotes + im::kCommentNoDrums + "\n";
    }
    if (outOfRange[channel] > 0) {
      dropped +=
          head + std::to_string(outOfRange[channel]) + im::kCommentNotes + im::kCommentRange + "\n";
    }
  }
  if (merged > 0) {
    dropped += std::string("; ") + im::kCommentNotesHead + std::to_string(merged) +
               im::kCommentNotes + im::kCommentMerged + "\n";
  }
  if (dropped.empty()) {
    return text + im::kCommentNone + "\n";
  }
  return text + im::kCommentDropped + "\n" + dropped;
}

// The kept lines as parts: melodic ones by channel and line, then the rhythm part (10), then
// the drum-voice parts; names count from 1, leaving 10 to the rhythm part.
std::vector<PlannedPart> PlanParts(const std::vector<Line>& lines, const std::vector<bool>& kept,
                                   const std::vector<ImportNote>& notes, bool ma2,
                                   std::array<size_t, 16>& outOfRange, size_t& keptNotes) {
  std::vector<PlannedPart> parts;
  for (int pass = 0; pass < 3; ++pass) {
    for (size_t k = 0; k < lines.size(); ++k) {
      const Line& line = lines[k];
      const bool drums = line.channel == kDrumChannel && ma2;
      const PartKind kind = !drums            ? PartKind::kMelodic
                            : line.index == 0 ? PartKind::kRhythm
                                              : PartKind::kDrumVoices;
      if (!kept[k] || static_cast<int>(kind) != pass) {
        continue;
      }
      PlannedPart part;
      part.kind = kind;
      part.channel = line.channel;
      for (uint32_t n : line.notes) {
        const int key = notes[n].key;
        const bool playable = kind == PartKind::kMelodic  ? true
                              : kind == PartKind::kRhythm ? key >= 13 && key <= 108
                                                          : key >= 24 && key <= 84;
        if (playable) {
          part.notes.push_back(&notes[n]);
        } else {
          ++outOfRange[line.channel];
        }
      }
      keptNotes += part.notes.size();
      if (!part.notes.empty()) {
        parts.push_back(std::move(part));
      }
    }
  }
  int name = 1;
  for (PlannedPart& part : parts) {
    if (part.kind == PartKind::kRhythm) {
      part.name = 10;
      continue;
    }
    if (name == 10 && ma2) {
      ++name;
    }
    part.name = name++;
  }
  // Parts in the order of their names.
  std::stable_sort(parts.begin(), parts.end(),
                   [](const PlannedPart& a, const PlannedPart& b) { return a.name < b.name; });
  return parts;
}

// The chip holds 16 voices (MA2), the drum voices that parts play among them. When the parts
// would select more, the voices with the most notes stay, melodic ones first: a melodic note
// of another voice keeps the part's voice before it, a drum note of another voice is left out
// (counted in `leftOut`). Returns the notes the parts still play.
size_t FitVoices(std::vector<PlannedPart>& parts, std::vector<ImportNote>& notes,
                 std::array<size_t, 16>& leftOut) {
  constexpr size_t kVoices = 16;
  std::map<int, size_t> melodic;
  std::map<int, size_t> drums;
  for (const PlannedPart& part : parts) {
    for (const ImportNote* note : part.notes) {
      if (part.kind == PartKind::kMelodic) {
        ++melodic[std::max<int>(note->program, 0)];
      } else if (part.kind == PartKind::kDrumVoices) {
        ++drums[note->key + 128];
      }
    }
  }
  std::vector<std::pair<size_t, int>> ranked;
  for (const auto& [voice, count] : melodic) {
    ranked.emplace_back(count + notes.size() + 1, voice);  // melodic voices rank first
  }
  for (const auto& [voice, count] : drums) {
    ranked.emplace_back(count, voice);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::set<int> allowed;
  for (size_t k = 0; k < ranked.size() && k < kVoices; ++k) {
    allowed.insert(ranked[k].second);
  }
  const int fallback = ranked.empty() ? 0 : ranked.front().second;
  size_t played = 0;
  for (PlannedPart& part : parts) {
    int voice = -1;
    std::vector<const ImportNote*> kept;
    for (const ImportNote* note : part.notes) {
      ImportNote& n = notes[static_cast<size_t>(note - notes.data())];
      if (part.kind == PartKind::kMelodic) {
        if (allowed.count(std::max<int>(n.program, 0)) != 0) {
          voice = std::max<int>(n.program, 0);
        }
        n.program = static_cast<int16_t>(voice >= 0 ? voice : fallback);
        voice = n.program;
      } else if (part.kind == PartKind::kDrumVoices && allowed.count(n.key + 128) == 0) {
        ++leftOut[n.channel];
        continue;
      }
      kept.push_back(note);
    }
    part.notes = std::move(kept);
    played += part.notes.size();
  }
  std::erase_if(parts, [](const PlannedPart& part) { return part.notes.empty(); });
  return played;
}

ImportResult Fault(const SmfFault& fault) {
  ImportResult result;
  result.fault = fault.text;
  result.hasOffset = true;
  result.offset = fault.offset;
  return result;
}

ImportResult Fault(const char* text) {
  ImportResult result;
  result.fault = text;
  return result;
}

}  // namespace

ImportResult ImportMidi(const uint8_t* data, size_t size, const ImportOptions& options) {
  SmfSong song;
  SmfFault fault;
  if (!ReadSmf(data, size, &song, &fault)) {
    return Fault(fault);
  }
  const MidiClock clock(song);
  std::vector<ImportNote> notes;
  if (!TimedNotes(song, clock, notes)) {
    return Fault(im::kTooLong);
  }
  if (notes.empty()) {
    return Fault(im::kNoNotes);
  }
  ImportResult result;
  result.totalNotes = song.notes.size();
  const size_t merged = song.notes.size() - notes.size();
  size_t drumsLeftOut = 0;
  if (!options.ma2) {
    // MA1: no drums; notes outside its range move by octaves into it.
    std::vector<ImportNote> melodic;
    for (ImportNote note : notes) {
      if (note.channel == kDrumChannel) {
        result.drumsLeftOut = true;
        ++drumsLeftOut;
        continue;
      }
      while (note.key < 37) {
        note.key = static_cast<uint8_t>(note.key + 12);
      }
      while (note.key > 108) {
        note.key = static_cast<uint8_t>(note.key - 12);
      }
      melodic.push_back(note);
    }
    notes = std::move(melodic);
  }
  const std::vector<Line> lines = SplitLines(notes);
  bool drums = false;
  for (const Line& line : lines) {
    drums = drums || (line.channel == kDrumChannel && options.ma2);
  }
  const std::vector<size_t> order = RankLines(lines, notes, drums);
  std::vector<bool> kept(lines.size(), false);
  const size_t capacity = options.ma2 ? 16 : 4;
  for (size_t k = 0; k < order.size() && k < capacity; ++k) {
    kept[order[k]] = true;
  }
  std::array<size_t, 16> outOfRange{};
  std::vector<PlannedPart> parts =
      PlanParts(lines, kept, notes, options.ma2, outOfRange, result.keptNotes);
  std::array<size_t, 16> noVoice{};
  result.keptNotes = FitVoices(parts, notes, noVoice);
  if (parts.empty()) {
    return Fault(im::kNoNotes);
  }
  int64_t lastStart = 0;
  int64_t lastEnd = 0;
  for (const PlannedPart& part : parts) {
    for (const ImportNote* note : part.notes) {
      lastStart = std::max(lastStart, note->start);
      lastEnd = std::max(lastEnd, note->end);
    }
  }
  const std::vector<TempoChangeTick> tempos = TempoChanges(song, clock);
  const std::vector<int64_t> bars = Bars(song, clock, lastEnd + 2);
  std::vector<TempoMark> marks;

  const std::string text =
      Comment(options, parts, lines, kept, outOfRange, noVoice, drumsLeftOut, merged);
  const std::string title = ContentsValue(song.title);
  const std::string copyright = ContentsValue(song.copyright);
  std::string sjis = Sjis(text) + "\n";
  if (!title.empty() || !copyright.empty()) {
    sjis += "C[";
    sjis += title.empty() ? "" : " ST:" + title + ",";
    sjis += copyright.empty() ? "" : " CR:" + copyright + ",";
    sjis += " ]\n\n";
  }
  for (size_t k = 0; k < parts.size(); ++k) {
    PartInput input;
    input.kind = parts[k].kind;
    input.ma2 = options.ma2;
    input.notes = parts[k].notes;
    input.bars = &bars;
    input.marks = &marks;
    if (k == 0) {
      input.tempoChanges = &tempos;
      // The carrier reaches the last change that a note starts after, and no further.
      for (const TempoChangeTick& change : tempos) {
        input.tempoUntil = change.tick <= lastStart ? change.tick : input.tempoUntil;
      }
    }
    sjis += std::to_string(parts[k].name) + "[\n";
    for (const std::string& line : WritePart(input)) {
      sjis += line + "\n";
    }
    sjis += "]\n\n";
  }
  // Scores end their lines with CR LF.
  result.score.reserve(sjis.size() + sjis.size() / 16);
  for (char c : sjis) {
    if (c == '\n') {
      result.score += '\r';
    }
    result.score += c;
  }
  result.ok = true;
  return result;
}
