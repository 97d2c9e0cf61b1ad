// Repeat expansion of one part text: "|:" opens a repeat, an optional decimal count follows
// (2 when absent, at least 2), ":|" closes it, and the marks are replaced by the body written
// out count times.
//
// The order of expansion is fixed: always the last opener of the text, with the first closer
// after it, then the whole text is looked at again. That order decides which message a
// faulty text gets, and marks can form anew where expanded text meets its neighbours, so it
// is kept exactly. It is carried out in one pass from right to left instead of rescanning:
//
// - An opener is a "|" followed by ":" whose previous byte is not ":" (that "|" ends a
//   closer), or which directly continues an opener ("|:|:" is two openers). The openers of
//   the text are kept on a stack; the top is always the last one.
// - The text is a gap buffer split at the opener being expanded. Bytes before the gap are
//   never changed by an expansion, so the openers below the top stay valid.
// - After an expansion only the byte before the gap can newly become an opener (a "|" there
//   meeting a ":" that the expansion brought next to it); if the body was empty, the opener
//   run may go on into the text that followed the closer. Those openers are pushed.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "core/compile_limits.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "frontend/repeats.h"

namespace {

namespace msg = messages::frontend;

// Counts beyond 32 bits are taken as this.
constexpr uint64_t kMaxCount = 2147483647;

// One expansion as it changed the text: the opener at `opener`, the body at
// [bodyStart, bodyStart + bodyLength) written `count` times in place of the marks. Positions
// fit 32 bits, as the expanded text is capped far below that.
struct ExpansionStep {
  uint32_t opener;
  uint32_t bodyStart;
  uint32_t bodyLength;
  uint32_t count;
};

// A log of more steps than this is not kept: tracing a byte back then gives up.
constexpr size_t kMaxLoggedSteps = 1 << 20;

class RepeatExpansion {
 public:
  // `limit`: the longest the text may grow to.
  RepeatExpansion(std::string&& text, uint64_t limit) : left_(std::move(text)), limit_(limit) {
    FindOpeners();
  }

  // Expands every repeat; returns the UTF-8 message of the first fault, or an empty view.
  std::string_view Run() {
    while (!openers_.empty()) {
      const std::string_view fault = ExpandLastOpener();
      if (!fault.empty()) {
        return fault;
      }
    }
    return std::string_view();
  }

  // Where in the text before expansion the fault of the last opener lies: the opener or, with
  // `count`, its count. Bytes before the lowest expansion so far are the text's own; an
  // opener that an expansion brought forth is placed at that expansion's opener.
  size_t FaultOffset(bool count) const {
    const size_t opener = openers_.back();
    if (opener >= lowestExpanded_) {
      return lowestExpanded_;
    }
    return count ? opener + 2 : opener;
  }

  // Keeps each expansion step in `log`, up to kMaxLoggedSteps; false once steps were lost.
  void KeepLog(std::vector<ExpansionStep>* log) { log_ = log; }
  bool LogComplete() const { return !logOverflow_; }

  // The current text (on a fault: as far as it was expanded), taken out of the expansion,
  // which is left without it. The bytes after the gap are turned around where they lie: the
  // text may be 16 MiB, and a copy of it beside the two halves would hold it three times.
  std::string TakeText() {
    if (right_.empty()) {
      return std::move(left_);
    }
    std::reverse(right_.begin(), right_.end());
    right_.insert(0, left_);
    left_.clear();
    return std::move(right_);
  }

 private:
  // The byte k places after the gap; 0 (no mark, no digit) past the end.
  char After(size_t k) const { return k < right_.size() ? right_[right_.size() - 1 - k] : '\0'; }

  // Collects the openers of the whole text, left to right. Most parts have none, so only the
  // "|" bytes are looked at.
  void FindOpeners() {
    const std::string& text = left_;
    const char* const begin = text.data();
    const size_t size = text.size();
    size_t q = 0;
    for (const void* bar = std::memchr(begin, '|', size); bar != nullptr;
         bar = std::memchr(begin + q + 1, '|', size - q - 1)) {
      q = static_cast<size_t>(static_cast<const char*>(bar) - begin);
      if (q + 1 >= size || text[q + 1] != ':') {
        continue;
      }
      // q - 2 can only be an opener if it is the last one found: q - 1 holds ":".
      if (q == 0 || text[q - 1] != ':' || (!openers_.empty() && openers_.back() + 2 == q)) {
        openers_.push_back(q);
      }
    }
  }

  // Puts the gap before byte `pos`; the bytes in between change sides.
  void MoveGapTo(size_t pos) {
    if (pos < left_.size()) {
      right_.append(left_.rbegin(), left_.rbegin() + static_cast<ptrdiff_t>(left_.size() - pos));
      left_.resize(pos);
    }
    while (left_.size() < pos) {
      left_.push_back(right_.back());
      right_.pop_back();
    }
  }

  // Expands the repeat of the last opener, or returns the message of its fault.
  std::string_view ExpandLastOpener() {
    const size_t opener = openers_.back();
    MoveGapTo(opener);
    assert(After(0) == '|' && After(1) == ':');
    const size_t size = right_.size();
    size_t closer = 2;
    while (closer + 1 < size && !(After(closer) == ':' && After(closer + 1) == '|')) {
      ++closer;
    }
    if (closer + 1 >= size) {
      return msg::kNoRepeatCloser;
    }
    // The digits end before the closer, whose first byte is ":".
    size_t bodyStart = 2;
    uint64_t count = 0;
    while (IsDigit(After(bodyStart))) {
      count = std::min(count * 10 + static_cast<uint64_t>(After(bodyStart) - '0'), kMaxCount);
      ++bodyStart;
    }
    if (bodyStart == 2) {
      count = 2;
    } else if (count < 2) {
      return msg::kRepeatCountTooSmall;
    }
    const size_t bodyLength = closer - bodyStart;
    const size_t suffixLength = size - closer - 2;
    const uint64_t kept = left_.size() + suffixLength;
    if (kept > limit_ || (bodyLength != 0 && count > (limit_ - kept) / bodyLength)) {
      return msg::kRepeatTooLarge;
    }
    if (log_ != nullptr) {
      Log({static_cast<uint32_t>(opener), static_cast<uint32_t>(opener + bodyStart),
           static_cast<uint32_t>(bodyLength), static_cast<uint32_t>(count)});
    }
    lowestExpanded_ = std::min(lowestExpanded_, opener);
    WriteBody(suffixLength, bodyLength, static_cast<size_t>(count));
    openers_.pop_back();
    FindOpenersAtGap(opener);
    return std::string_view();
  }

  // Replaces the marks and body after the gap by `count` copies of the body. Stored in
  // reverse, the body lies 2 bytes (the closer) above the suffix, and the reverse of the
  // copies is `count` copies of the reversed body.
  void WriteBody(size_t suffixLength, size_t bodyLength, size_t count) {
    char* base = right_.data() + suffixLength;
    std::memmove(base, base + 2, bodyLength);
    const size_t total = bodyLength * count;
    right_.resize(suffixLength + total);
    base = right_.data() + suffixLength;
    for (size_t done = bodyLength; done < total;) {
      const size_t n = std::min(done, total - done);
      std::memcpy(base + done, base, n);
      done += n;
    }
  }

  // After an expansion at `gap`: a "|" before the gap followed now by ":" may be an opener,
  // and its run of openers may go on after the gap.
  void FindOpenersAtGap(size_t gap) {
    if (gap == 0 || left_.back() != '|' || After(0) != ':') {
      return;
    }
    const bool opener =
        gap == 1 || left_[gap - 2] != ':' || (!openers_.empty() && openers_.back() + 3 == gap);
    if (!opener) {
      return;
    }
    openers_.push_back(gap - 1);
    for (size_t k = 1; After(k) == '|' && After(k + 1) == ':'; k += 2) {
      openers_.push_back(gap + k);
    }
  }

  std::string left_;   // the text before the gap, in order
  std::string right_;  // the text after the gap, in reverse order
  std::vector<size_t> openers_;
  uint64_t limit_;
  size_t lowestExpanded_ = SIZE_MAX;
  std::vector<ExpansionStep>* log_ = nullptr;
  bool logOverflow_ = false;

  void Log(const ExpansionStep& step) {
    if (log_->size() < kMaxLoggedSteps) {
      log_->push_back(step);
    } else {
      logOverflow_ = true;
    }
  }
};

}  // namespace

std::string ExpandRepeats(std::string& text, uint64_t limit, FaultPlace& place) {
  RepeatExpansion expansion(std::move(text), limit);
  const std::string_view fault = expansion.Run();
  if (!fault.empty()) {
    place = {FaultText::kStripped, "", expansion.FaultOffset(fault == msg::kRepeatCountTooSmall)};
    text = expansion.TakeText();
    return Sjis(fault);
  }
  text = expansion.TakeText();
  // A closer that no opener took is noticed only now.
  const size_t closer = text.find(":|");
  if (closer != std::string::npos) {
    place = {FaultText::kExpanded, "", closer};
    return Sjis(msg::kNoRepeatOpener);
  }
  return std::string();
}

size_t RepeatOrigin(std::string text, size_t offset) {
  std::vector<ExpansionStep> log;
  RepeatExpansion expansion(std::move(text), UINT64_MAX);
  expansion.KeepLog(&log);
  if (!expansion.Run().empty() || !expansion.LogComplete()) {
    return std::string::npos;
  }
  // Back through the steps: a byte of the copies comes from the body, a later byte from the
  // text after the closer.
  for (auto step = log.rbegin(); step != log.rend(); ++step) {
    const uint64_t written = uint64_t{step->bodyLength} * step->count;
    if (offset < step->opener) {
      continue;
    }
    if (offset - step->opener < written) {
      offset = step->bodyStart + (offset - step->opener) % step->bodyLength;
    } else {
      offset = offset - step->opener - written + step->bodyStart + step->bodyLength + 2;
    }
  }
  return offset;
}
