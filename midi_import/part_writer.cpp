#include "midi_import/part_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <map>

#include "midi_import/score_time.h"

namespace st = score_time;

namespace {

// One value of a length: a note value n with dots, "%" n, or "*" n ticks.
struct Term {
  enum Kind : uint8_t { kValue, kPercent, kTicks } kind = kValue;
  uint8_t dots = 0;
  int64_t n = 0;
};
using Terms = std::vector<Term>;

// The usual note values as 192ths of a whole note: the binary values with up to two dots, and
// the triplets of a half note down to a 24th.
struct Usual {
  int units;
  int value;
  int dots;
};
constexpr std::array<Usual, 18> kBinary = {{
    {336, 1, 2},
    {288, 1, 1},
    {192, 1, 0},
    {168, 2, 2},
    {144, 2, 1},
    {96, 2, 0},
    {84, 4, 2},
    {72, 4, 1},
    {48, 4, 0},
    {42, 8, 2},
    {36, 8, 1},
    {24, 8, 0},
    {21, 16, 2},
    {18, 16, 1},
    {12, 16, 0},
    {9, 32, 1},
    {6, 32, 0},
    {3, 64, 0},
}};
constexpr std::array<Usual, 4> kTriplets = {{{64, 3, 0}, {32, 6, 0}, {16, 12, 0}, {8, 24, 0}}};

// `units` as whole notes and at most three more values of one family, tied; false when they
// do not add up.
template <size_t kSize>
bool DecomposeWith(int64_t units, const std::array<Usual, kSize>& family, Terms& terms) {
  terms.clear();
  int64_t left = units;
  while (left >= 384 && terms.size() < 64) {
    terms.push_back({Term::kValue, 0, 1});
    left -= 192;
  }
  for (int k = 0; k < 3 && left > 0; ++k) {
    for (const Usual& usual : family) {
      if (usual.units <= left) {
        terms.push_back({Term::kValue, static_cast<uint8_t>(usual.dots), usual.value});
        left -= usual.units;
        break;
      }
    }
  }
  return left == 0;
}

// `units` 192ths as tied usual values, binary or triplets, or else one "%" value.
Terms Decompose(int64_t units) {
  Terms terms;
  if (DecomposeWith(units, kBinary, terms) || DecomposeWith(units, kTriplets, terms)) {
    return terms;
  }
  return {{Term::kPercent, 0, units}};
}

// The fine units of `terms` at tempo factor z, as the compiler sums a tied length.
int64_t LengthOf(const Terms& terms, int z) {
  int64_t sum = 0;
  for (const Term& term : terms) {
    switch (term.kind) {
      case Term::kValue:
        sum += st::Dotted(st::ValueLength(static_cast<int>(term.n), z), term.dots);
        break;
      case Term::kPercent:
        sum += st::PercentLength(term.n, z);
        break;
      case Term::kTicks:
        sum += term.n * st::kFinePerTick;
        break;
    }
  }
  return sum;
}

// A written length: its terms and the fine units they make.
struct Length {
  Terms terms;
  int64_t fine = 0;
};

// The usual values nearest `fine` fine units at tempo factor z; nothing when under one 192th.
bool GridLength(int64_t fine, int z, Length& out) {
  const double unit = 1280000.0 / 192 * (z * 0.0001);
  const auto units = static_cast<int64_t>(std::llround(static_cast<double>(fine) / unit));
  if (units < 1 || units > (int64_t{1} << 24)) {
    return false;
  }
  out.terms = Decompose(units);
  out.fine = LengthOf(out.terms, z);
  return true;
}

Length Ticks(int64_t ticks) {
  ticks = std::max<int64_t>(ticks, 1);
  return {{{Term::kTicks, 0, ticks}}, ticks * st::kFinePerTick};
}

// One piece of the part: text, then a length (when `hasLength`), then maybe a line break.
struct Piece {
  std::string text;
  bool hasLength = false;
  Length length;
  bool lineBreak = false;
};

constexpr std::array<const char*, 12> kNames = {"c",  "c+", "d",  "d+", "e",  "f",
                                                "f+", "g",  "g+", "a",  "a+", "b"};

// A note is not split at a bar this close to its end (ticks).
constexpr int64_t kLeastPiece = 6;

class Writer {
 public:
  explicit Writer(const PartInput& input) : in_(input) {
    carrier_ = in_.tempoChanges != nullptr;
    z_ = st::TempoFactor(120);
    if (!carrier_ && in_.marks != nullptr && !in_.marks->empty()) {
      z_ = in_.marks->front().factor;
    }
  }

  std::vector<std::string> Run() {
    Header();
    const auto& notes = in_.notes;
    for (size_t k = 0; k < notes.size(); ++k) {
      const ImportNote& note = *notes[k];
      RestUntil(note.start);
      // A note ends two ticks before its nominal end; a following note cuts it there.
      int64_t nominal = note.end + 2;
      bool capped = false;
      if (k + 1 < notes.size() && notes[k + 1]->start <= nominal) {
        nominal = notes[k + 1]->start;
        capped = true;
      }
      WriteNote(note, std::max(nominal, CurrentTick() + 1), capped);
    }
    if (carrier_) {
      RestUntil(in_.tempoUntil);
      EmitTempo();
    }
    return Render();
  }

 private:
  int64_t CurrentTick() const { return st::TickOf(s_); }

  void Header() {
    if (in_.kind == PartKind::kRhythm) {
      Text("N10 ");
    }
    if (carrier_) {
      EmitTempo();
    }
    if (!in_.notes.empty()) {
      octave_ = Written(*in_.notes.front()).key / 12 - 1;
    }
    headerOctave_ = octave_;
    Text("");
    pieces_.back().lineBreak = true;
  }

  // The key and detune a note is written with: the bend's whole semitones move the key.
  struct WrittenPitch {
    int key;
    int detune;
  };
  WrittenPitch Written(const ImportNote& note) const {
    if (!in_.ma2 || in_.kind != PartKind::kMelodic) {
      return {note.key, 0};
    }
    const int pitch = note.key * 16 + note.detune;
    int key = (pitch + 8) >> 4;
    int detune = pitch - key * 16;
    while (key < 13) {
      key += 12;
    }
    while (key > 108) {
      key -= 12;
    }
    if (key == 13 && detune < 0) {
      detune = 0;  // the lowest key cannot sound below itself
    }
    return {key, detune};
  }

  void Text(const std::string& text) {
    if (pieces_.empty() || pieces_.back().hasLength || pieces_.back().lineBreak) {
      pieces_.push_back({});
    }
    pieces_.back().text += text;
  }

  void AddLength(const Length& length) {
    if (pieces_.empty() || pieces_.back().hasLength || pieces_.back().lineBreak) {
      pieces_.push_back({});
    }
    pieces_.back().hasLength = true;
    pieces_.back().length = length;
    s_ += length.fine;
  }

  // Writes the tempo changes due at the part time reached (the carrier only).
  void EmitTempo() {
    const auto& changes = *in_.tempoChanges;
    while (nextTempo_ < changes.size() && changes[nextTempo_].tick <= CurrentTick() + 1 &&
           changes[nextTempo_].tick <= in_.tempoUntil) {
      const int tempo = changes[nextTempo_].tempo;
      if (in_.marks->empty() || tempo != tempo_) {
        Text("T" + std::to_string(tempo) + " ");
        z_ = st::TempoFactor(tempo);
        tempo_ = tempo;
        in_.marks->push_back({s_, z_});
      }
      ++nextTempo_;
    }
  }

  // The tempo factor the compiler uses for a step at the part time reached.
  void FollowTempo() {
    if (carrier_ || in_.marks == nullptr) {
      return;
    }
    const auto& marks = *in_.marks;
    while (nextMark_ < marks.size() && marks[nextMark_].fine <= s_) {
      z_ = marks[nextMark_].factor;
      ++nextMark_;
    }
  }

  // Bars begun at the part time reached end the line.
  void BreakBars() {
    const auto& bars = *in_.bars;
    bool reached = false;
    while (nextBar_ < bars.size() && bars[nextBar_] <= CurrentTick() + 1) {
      reached = true;
      ++nextBar_;
    }
    if (reached && !pieces_.empty()) {
      pieces_.back().lineBreak = true;
    }
  }

  // The next place at which a length is split after the current tick: a bar, or in the carrier
  // a tempo change; `end` when none comes before it.
  int64_t NextSplit(int64_t end, int64_t margin = 0) const {
    const int64_t now = CurrentTick();
    int64_t split = end;
    end -= margin;
    const auto& bars = *in_.bars;
    for (size_t k = nextBar_; k < bars.size() && bars[k] < end; ++k) {
      if (bars[k] > now + 1) {
        split = bars[k];
        break;
      }
    }
    if (carrier_) {
      const auto& changes = *in_.tempoChanges;
      for (size_t k = nextTempo_; k < changes.size() && changes[k].tick < end; ++k) {
        if (changes[k].tick > now + 1 && changes[k].tick <= in_.tempoUntil) {
          split = changes[k].tick;
          break;
        }
      }
    }
    return split;
  }

  // The carrier has reached a tempo change that is not written yet.
  bool TempoDue() const {
    if (!carrier_) {
      return false;
    }
    const auto& changes = *in_.tempoChanges;
    return nextTempo_ < changes.size() && changes[nextTempo_].tick <= CurrentTick() + 1 &&
           changes[nextTempo_].tick <= in_.tempoUntil;
  }

  // A length from `from` that ends on tick `target`, one tick either way for usual values.
  Length PieceTo(int64_t from, int64_t target, int z) const {
    Length grid;
    if (GridLength(target * st::kFinePerTick - from, z, grid) &&
        std::abs(st::TickOf(from + grid.fine) - target) <= 1 &&
        st::TickOf(from + grid.fine) > st::TickOf(from)) {
      return grid;
    }
    return Ticks(target - st::TickOf(from));
  }

  // Rests up to tick `target`; a note due within a tick of the part time needs none.
  void RestUntil(int64_t target) {
    while (target - CurrentTick() > 1) {
      FollowTempo();
      const int64_t split = NextSplit(target);
      Text("r");
      AddLength(PieceTo(s_, split, z_));
      BreakBars();
      if (carrier_) {
        EmitTempo();
      }
      if (split == target) {
        break;
      }
    }
    FollowTempo();
  }

  void Controls(const ImportNote& note, const WrittenPitch& pitch) {
    if (in_.kind == PartKind::kDrumVoices && note.key + 128 != voice_) {
      voice_ = note.key + 128;
      Text("@" + std::to_string(voice_) + " ");
    }
    if (in_.kind == PartKind::kMelodic &&
        (voice_ < 0 || (in_.ma2 && note.program >= 0 && note.program != voice_))) {
      voice_ = std::max<int>(note.program, 0);
      Text("@" + std::to_string(voice_) + " ");
    }
    // Loudness: the channel volume scaled by the velocity (100 leaves it), written when the
    // volume changed or the loudness moved by a quarter (at least a step of "V").
    const int channelVolume = note.volume >= 0 ? note.volume : 100;
    const int loudness = std::min(127, (channelVolume * note.velocity + 50) / 100);
    if (volume_ < 0 || (in_.ma2 && (channelVolume != channelVolume_ ||
                                    std::abs(loudness - volume_) >= std::max(8, volume_ / 4)))) {
      volume_ = loudness;
      channelVolume_ = channelVolume;
      Text("@V" + std::to_string(volume_) + " ");
    }
    if (in_.ma2) {
      Control("@X", note.expression, expression_);
      Control("@P", note.pan, pan_);
    }
    Control("@M", note.modulation, modulation_);
    if (in_.ma2 && in_.kind == PartKind::kMelodic && pitch.detune != detune_) {
      detune_ = pitch.detune;
      Text("@K" + std::to_string(detune_) + " ");
    }
  }

  // A control the channel set, written when it changed.
  void Control(const char* command, int value, int& written) {
    if (value >= 0 && value != written) {
      written = value;
      Text(std::string(command) + std::to_string(value) + " ");
    }
  }

  // The note's name after the octave marks that bring the part to its octave.
  std::string Name(int key) {
    std::string text;
    const int octave = key / 12 - 1;
    const int shift = octave - octave_;
    if (std::abs(shift) > 3) {
      text = "O" + std::to_string(octave) + " ";
    } else {
      text.append(static_cast<size_t>(std::abs(shift)), shift > 0 ? '>' : '<');
    }
    octave_ = octave;
    return text + kNames[key % 12];
  }

  void WriteNote(const ImportNote& note, int64_t nominalEnd, bool capped) {
    FollowTempo();
    const WrittenPitch pitch = Written(note);
    Controls(note, pitch);
    const bool frequency = pitch.detune != 0;
    Text(Name(pitch.key));
    const std::string letter = kNames[pitch.key % 12];  // the note again after a slur
    const int64_t start = s_;
    int z = z_;  // a tied length is read with the tempo of its note's start
    bool tied = false;
    for (;;) {
      // A bar line just before the note's end does not split it.
      const int64_t split = NextSplit(nominalEnd, kLeastPiece);
      if (split >= nominalEnd) {
        break;
      }
      if (tied) {
        Text("^");
      }
      AddLength(PieceTo(s_, split, z));
      tied = true;
      BreakBars();
      if (TempoDue()) {
        // The carrier slurs the note into itself across a tempo change.
        Text("&");
        EmitTempo();
        Text(letter);
        z = z_;
        tied = false;
      }
    }
    if (tied) {
      Text("^");
    }
    AddLength(LastPiece(start, nominalEnd, capped, frequency, z));
    BreakBars();
    if (carrier_) {
      EmitTempo();
    }
  }

  // The last value of a note, which ends the part's step on tick `end`. The note stops two
  // ticks before its step ends; `end` - 2 is where it should. Usual values may stop the note
  // one tick late or two early (the way a composer writes a note that fills its value), and
  // end the step a tick either way; a note cut by the next one must not stop late or early by
  // more than its two ticks. Otherwise the value is written in ticks.
  Length LastPiece(int64_t start, int64_t end, bool capped, bool frequency, int z) const {
    const int64_t before = s_ - start;
    const int64_t stopAt = end - 2;
    Length chosen;
    bool found = false;
    for (const int64_t aim : {end, end - 2}) {
      Length grid;
      if ((capped && aim != end) || !GridLength(aim * st::kFinePerTick - s_, z, grid)) {
        continue;
      }
      const int64_t stop = st::NoteEndTick(start, before + grid.fine, frequency);
      const int64_t landed = st::TickOf(s_ + grid.fine);
      const bool stopFits =
          capped ? stop >= stopAt && stop <= end - 1 : stop >= stopAt - 2 && stop <= stopAt + 1;
      if (!stopFits || std::abs(landed - aim) > 1 || landed <= st::TickOf(s_)) {
        continue;
      }
      if (IsUsual(grid)) {
        return grid;
      }
      if (!found) {
        chosen = grid;
        found = true;
      }
    }
    if (found) {
      return chosen;
    }
    if (frequency) {
      return Ticks(end - st::TickOf(s_));
    }
    return Ticks(end - st::TickOf(start) - st::TickOf(before));
  }

  static bool IsUsual(const Length& length) {
    return std::all_of(length.terms.begin(), length.terms.end(),
                       [](const Term& term) { return term.kind == Term::kValue; });
  }

  // The most used plain note value becomes the part's "L"; notes of that value leave it out.
  std::vector<std::string> Render() const {
    std::map<int64_t, size_t> uses;
    for (const Piece& piece : pieces_) {
      const Terms& terms = piece.length.terms;
      if (piece.hasLength && terms.size() == 1 && terms[0].kind == Term::kValue) {
        ++uses[terms[0].n];
      }
    }
    int64_t common = 4;
    size_t most = 0;
    for (const auto& [value, count] : uses) {
      if (count > most) {
        common = value;
        most = count;
      }
    }
    std::vector<std::string> lines(1);
    lines[0] = "L" + std::to_string(common) + " O" + std::to_string(headerOctave_) + " ";
    for (const Piece& piece : pieces_) {
      std::string& line = lines.back();
      line += piece.text;
      if (piece.hasLength) {
        // The tie that continues a length keeps its value written.
        const bool continues = !piece.text.empty() && piece.text.back() == '^';
        for (size_t k = 0; k < piece.length.terms.size(); ++k) {
          const Term& term = piece.length.terms[k];
          if (k > 0) {
            line += '^';
          }
          if (term.kind == Term::kTicks) {
            line += "*" + std::to_string(term.n);
          } else if (term.kind == Term::kPercent) {
            line += "%" + std::to_string(term.n);
          } else if (k > 0 || continues || term.n != common) {
            line += std::to_string(term.n);
          }
          line.append(term.dots, '.');
        }
        line += ' ';
      }
      if (piece.lineBreak) {
        while (!line.empty() && line.back() == ' ') {
          line.pop_back();
        }
        if (!line.empty()) {
          lines.emplace_back();
        }
      }
    }
    while (!lines.back().empty() && lines.back().back() == ' ') {
      lines.back().pop_back();
    }
    if (lines.back().empty()) {
      lines.pop_back();
    }
    return lines;
  }

  const PartInput& in_;
  bool carrier_ = false;
  int64_t s_ = 0;  // part time, fine units
  int z_ = 0;
  int tempo_ = 0;
  size_t nextTempo_ = 0;
  size_t nextMark_ = 0;
  size_t nextBar_ = 0;
  int octave_ = 4;
  int headerOctave_ = 4;
  int voice_ = -1;
  int volume_ = -1;
  int channelVolume_ = -1;
  int expression_ = -1;
  int pan_ = -1;
  int modulation_ = -1;
  int detune_ = 0;
  std::vector<Piece> pieces_;
};

}  // namespace

std::vector<std::string> WritePart(const PartInput& input) { return Writer(input).Run(); }
