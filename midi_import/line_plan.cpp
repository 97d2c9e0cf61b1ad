#include "midi_import/line_plan.h"

#include <algorithm>
#include <array>

namespace {

// The drums a listener misses most: bass drums, then snares.
int DrumRank(int key) {
  switch (key) {
    case 35:
    case 36:
      return 0;
    case 38:
    case 40:
      return 1;
    default:
      return 2;
  }
}

// The lines of one channel and the end of each one's last note.
struct ChannelLines {
  std::vector<Line> lines;
  std::vector<int64_t> ends;

  // The first line free at `start`, searched from `first` (0 top, 1 bass, 2 inner) upwards
  // and then downwards; a new line when none is.
  size_t Place(int channel, int64_t start, size_t first) {
    const size_t n = lines.size();
    for (size_t k = first; k < n; ++k) {
      if (ends[k] <= start) {
        return k;
      }
    }
    for (size_t k = std::min(first, n); k-- > 0;) {
      if (ends[k] <= start) {
        return k;
      }
    }
    lines.push_back({channel, static_cast<int>(n), {}});
    ends.push_back(0);
    return n;
  }
};

}  // namespace

std::vector<Line> SplitLines(const std::vector<ImportNote>& notes) {
  std::array<ChannelLines, 16> channels;
  for (size_t i = 0; i < notes.size();) {
    // The notes of one channel struck together, highest first (drums: kick and snare first).
    size_t j = i;
    while (j < notes.size() && notes[j].start == notes[i].start) {
      ++j;
    }
    std::vector<uint32_t> group;
    for (size_t k = i; k < j; ++k) {
      group.push_back(static_cast<uint32_t>(k));
    }
    std::stable_sort(group.begin(), group.end(), [&](uint32_t a, uint32_t b) {
      if (notes[a].channel != notes[b].channel) {
        return notes[a].channel < notes[b].channel;
      }
      if (notes[a].channel == kDrumChannel) {
        return DrumRank(notes[a].key) < DrumRank(notes[b].key);
      }
      return notes[a].key > notes[b].key;
    });
    for (size_t g = 0; g < group.size();) {
      size_t h = g;
      while (h < group.size() && notes[group[h]].channel == notes[group[g]].channel) {
        ++h;
      }
      const int channel = notes[group[g]].channel;
      ChannelLines& lines = channels[channel];
      // A chord places its highest note, then its lowest, then the inner ones from the top, so
      // that the bass line is made before the inner lines and each chord keeps their order.
      if (channel != kDrumChannel && h - g > 2) {
        std::rotate(group.begin() + static_cast<ptrdiff_t>(g) + 1,
                    group.begin() + static_cast<ptrdiff_t>(h) - 1,
                    group.begin() + static_cast<ptrdiff_t>(h));
      }
      for (size_t k = g; k < h; ++k) {
        const ImportNote& note = notes[group[k]];
        size_t first = 0;
        if (channel != kDrumChannel && k > g) {
          first = k == g + 1 ? 1 : 2;  // the lowest of a chord to the bass line
        } else if (channel != kDrumChannel && !lines.lines.empty() && lines.ends[0] > note.start &&
                   note.key < notes[lines.lines[0].notes.back()].key) {
          first = 1;  // a note below the sounding top note
        }
        const size_t line = lines.Place(channel, note.start, first);
        lines.lines[line].notes.push_back(group[k]);
        lines.ends[line] = note.end;
      }
      g = h;
    }
    i = j;
  }
  std::vector<Line> all;
  for (ChannelLines& channel : channels) {
    for (Line& line : channel.lines) {
      all.push_back(std::move(line));
    }
  }
  return all;
}

std::vector<size_t> RankLines(const std::vector<Line>& lines, const std::vector<ImportNote>& notes,
                              bool drums) {
  // Per channel: its notes and the mean key of its top and of its lowest line.
  std::array<size_t, 16> count{};
  std::array<double, 16> topKey{};
  std::array<double, 16> lowKey{};
  std::array<int, 16> lowLine{};
  lowLine.fill(-1);
  for (size_t k = 0; k < lines.size(); ++k) {
    const Line& line = lines[k];
    double sum = 0;
    for (uint32_t n : line.notes) {
      sum += notes[n].key;
    }
    const double mean = line.notes.empty() ? 0 : sum / static_cast<double>(line.notes.size());
    count[line.channel] += line.notes.size();
    if (line.index == 0) {
      topKey[line.channel] = mean;
    }
    // The bass line, or the top line of a channel that has no other.
    if (line.index == 1 || (line.index == 0 && lowLine[line.channel] < 0)) {
      lowKey[line.channel] = mean;
      lowLine[line.channel] = static_cast<int>(k);
    }
  }
  size_t busiest = 0;
  for (int c = 0; c < 16; ++c) {
    if (c != kDrumChannel) {
      busiest = std::max(busiest, count[c]);
    }
  }
  int melody = -1;
  int bass = -1;
  for (int c = 0; c < 16; ++c) {
    if (c == kDrumChannel || count[c] == 0 || count[c] * 4 < busiest) {
      continue;
    }
    if (melody < 0 || topKey[c] > topKey[melody]) {
      melody = c;
    }
    if (bass < 0 || lowKey[c] < lowKey[bass]) {
      bass = c;
    }
  }
  // Each line's place: a class from the rule, then the busiest channel first, then the channel.
  auto classOf = [&](const Line& line, size_t k) {
    if (line.channel == kDrumChannel) {
      return !drums ? 9 : line.index == 0 ? 2 : 6;
    }
    if (line.channel == melody && line.index == 0) {
      return 0;
    }
    if (line.channel == bass && static_cast<int>(k) == lowLine[bass]) {
      return 1;
    }
    return line.index == 0 ? 3 : line.index == 1 ? 4 : 5;
  };
  std::vector<size_t> order(lines.size());
  std::vector<int> classes(lines.size());
  for (size_t k = 0; k < lines.size(); ++k) {
    order[k] = k;
    classes[k] = classOf(lines[k], k);
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (classes[a] != classes[b]) {
      return classes[a] < classes[b];
    }
    if (lines[a].index != lines[b].index) {
      return lines[a].index < lines[b].index;
    }
    if (count[lines[a].channel] != count[lines[b].channel]) {
      return count[lines[a].channel] > count[lines[b].channel];
    }
    return lines[a].channel < lines[b].channel;
  });
  return order;
}
