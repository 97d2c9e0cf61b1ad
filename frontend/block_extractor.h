#ifndef QUAVREX_FRONTEND_BLOCK_EXTRACTOR_H_
#define QUAVREX_FRONTEND_BLOCK_EXTRACTOR_H_

// Takes the blocks of a score out kind after kind, for the part splitter. A block is a header
// (a name and "[") with everything up to its closing "]". Taking a block out erases its
// contents and leaves "name[]", so what a block held is never seen by a later kind, while a
// later block may close past an erased one and hold the "name[" left of it.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/fault_place.h"

// How the "]" that closes a block is found.
enum class Closing {
  kFirstBracket,  // the first "]" byte
  kContents,      // the first "]" neither escaped by a backslash nor the second byte of a
                  // double-byte character
  kFileList,      // the first "]" not escaped by a backslash
};

struct BlockKind {
  std::string header;  // upper case, e.g. "C[", "10["
  bool eitherCase;     // the header letter may also be lower case (the source is not upper-cased)
  bool numbered;       // a header right after the character "1" is none ("11[" is not part 1)
  Closing closing;
};

// The score as the splitter works on it. The bytes stay where they are: the "[" and "]" of the
// score are listed once, and erasing a block marks the brackets inside it and records the
// range, so each kind looks at the brackets still standing instead of copying and searching the
// whole score again.
//
// An erased range always lies between the "[" of a header and the "]" that closed it, and both
// stay. So the bytes of a header, the byte before it and a run of backslashes before a "]" are
// the score's own; only the byte before a "]" that closed an erased range reads as "[".
class BlockExtractor {
 public:
  explicit BlockExtractor(std::string score);

  // From now on the text reads with its ASCII letters in upper case.
  void UpperCase() { upper_ = true; }

  // Takes every block of `kind` out, in score order: appends its contents to `collected` and
  // where they stood in the score to `pieces`. False when a header has no closing "]";
  // `unclosedAt` is then the header's offset in the score.
  bool Extract(const BlockKind& kind, std::string& collected, std::vector<BlockPiece>& pieces,
               size_t& unclosedAt);

 private:
  struct Bracket {
    size_t pos;
    bool standing = true;
    bool closedErased = false;  // a "]" that closed a block taken out: "[" stands before it
  };
  using Range = std::pair<size_t, size_t>;  // [first, second) of the score

  bool MatchesHeader(size_t at, const BlockKind& kind) const;
  bool Closes(const Bracket& close, size_t start, const BlockKind& kind) const;
  size_t StandingFrom(size_t pos) const;
  void CopyStanding(size_t from, size_t to, std::string& out) const;
  void AddErased(std::vector<Range>& added);

  std::string score_;
  bool upper_ = false;
  std::vector<Bracket> opens_;   // every "[" of the score, ascending
  std::vector<Bracket> closes_;  // every "]"
  std::vector<Range> erased_;    // ascending, disjoint
};

#endif  // QUAVREX_FRONTEND_BLOCK_EXTRACTOR_H_
