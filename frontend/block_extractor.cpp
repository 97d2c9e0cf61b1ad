#include "frontend/block_extractor.h"

#include <algorithm>
#include <cstring>

#include "core/sjis.h"

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Appends the offset of every `byte` of `text` to `out`, ascending.
template <typename Bracket>
void ListBytes(const std::string& text, char byte, std::vector<Bracket>& out) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* p = begin;
       (p = static_cast<const char*>(std::memchr(p, byte, static_cast<size_t>(end - p)))) !=
       nullptr;
       ++p) {
    out.push_back({static_cast<size_t>(p - begin)});
  }
}

}  // namespace

BlockExtractor::BlockExtractor(std::string score) : score_(std::move(score)) {
  ListBytes(score_, '[', opens_);
  ListBytes(score_, ']', closes_);
}

bool BlockExtractor::MatchesHeader(size_t at, const BlockKind& kind) const {
  for (size_t k = 0; k + 1 < kind.header.size(); ++k) {
    const char c = upper_ ? Upper(score_[at + k]) : score_[at + k];
    const bool eitherCase = kind.eitherCase && k == 0 && Upper(c) == kind.header[0];
    if (c != kind.header[k] && !eitherCase) {
      return false;
    }
  }
  return true;
}

bool BlockExtractor::Closes(const Bracket& close, size_t start, const BlockKind& kind) const {
  if (kind.closing == Closing::kFirstBracket || close.closedErased) {
    return true;  // after an erased block the "[" before the "]" escapes nothing
  }
  const size_t end = close.pos;
  if (kind.closing == Closing::kContents && IsLeadByte(score_[end - 1])) {
    return false;
  }
  // An odd run of backslashes escapes the "]"; a backslash that is the second byte of a
  // double-byte character ends the run uncounted.
  int run = 0;
  for (size_t j = end; j > start && score_[j - 1] == '\\'; --j) {
    if (IsLeadByte(score_[j - 2])) {
      break;
    }
    ++run;
  }
  return run % 2 == 0;
}

size_t BlockExtractor::StandingFrom(size_t pos) const {
  const auto range = std::lower_bound(erased_.begin(), erased_.end(), Range{pos, 0});
  return range != erased_.end() && range->first == pos ? range->second : pos;
}

void BlockExtractor::CopyStanding(size_t from, size_t to, std::string& out) const {
  auto append = [&](size_t first, size_t last) {
    const size_t old = out.size();
    out.append(score_, first, last - first);
    if (upper_) {
      std::transform(out.begin() + static_cast<ptrdiff_t>(old), out.end(),
                     out.begin() + static_cast<ptrdiff_t>(old), Upper);
    }
  };
  // The erased ranges between lie wholly inside: each is closed by a "]" standing before `to`.
  auto range = std::lower_bound(erased_.begin(), erased_.end(), Range{from, 0});
  for (; range != erased_.end() && range->first < to; ++range) {
    append(from, range->first);
    from = range->second;
  }
  append(from, to);
}

void BlockExtractor::AddErased(std::vector<Range>& added) {
  if (added.empty()) {
    return;
  }
  // A range erased before lies either wholly inside one erased now or outside all of them.
  std::vector<Range> merged;
  merged.reserve(erased_.size() + added.size());
  size_t k = 0;
  for (const Range& range : added) {
    for (; k < erased_.size() && erased_[k].first < range.first; ++k) {
      merged.push_back(erased_[k]);
    }
    for (; k < erased_.size() && erased_[k].first < range.second; ++k) {
    }
    merged.push_back(range);
  }
  merged.insert(merged.end(), erased_.begin() + static_cast<ptrdiff_t>(k), erased_.end());
  erased_ = std::move(merged);
}

bool BlockExtractor::Extract(const BlockKind& kind, std::string& collected,
                             std::vector<BlockPiece>& pieces, size_t& unclosedAt) {
  const size_t width = kind.header.size() - 1;  // the header's bytes before "["
  std::vector<Range> erased;
  size_t from = 0;  // the next header starts here or later
  size_t next = 0;  // the first "]" after the header looked at
  for (size_t i = 0; i < opens_.size(); ++i) {
    const size_t open = opens_[i].pos;
    if (!opens_[i].standing || open < from + width || !MatchesHeader(open - width, kind)) {
      continue;
    }
    const size_t header = open - width;
    if (kind.numbered && header > 0 && score_[header - 1] == '1') {
      // Three bytes are passed over: a one-digit header's next byte goes with it.
      from = width == 2 ? open + 1 : StandingFrom(open + 1) + 1;
      continue;
    }
    const size_t start = StandingFrom(open + 1);
    while (next < closes_.size() && closes_[next].pos <= open) {
      ++next;
    }
    size_t close = next;
    while (close < closes_.size() &&
           !(closes_[close].standing && Closes(closes_[close], start, kind))) {
      ++close;
    }
    if (close == closes_.size()) {
      unclosedAt = header;
      return false;
    }
    const size_t end = closes_[close].pos;
    const size_t before = collected.size();
    CopyStanding(start, end, collected);
    pieces.push_back({before, start, collected.size() - before});
    // The brackets inside the block go with it; its "]" now follows its "[".
    for (size_t k = next; k < close; ++k) {
      closes_[k].standing = false;
    }
    closes_[close].closedErased = true;
    for (; i + 1 < opens_.size() && opens_[i + 1].pos < end; ++i) {
      opens_[i + 1].standing = false;
    }
    if (start < end) {
      erased.emplace_back(start, end);
    }
    from = end + 1;
    next = close + 1;
  }
  AddErased(erased);
  return true;
}
